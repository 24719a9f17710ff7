#include "tags/OutputTags.h"

#include "platform/Error.h"
#include "tags/ID3v2Tag.h"
#include "tags/OggComments.h"
#include "tags/WmaTags.h"
#include "tags/XiphComments.h"

#include <QFileInfo>

namespace {

// Vorbis comments give the number and the count fields of their own.
void numberFields(const AudioFileinfo& info, OGGTag& tag) {
    tag.TrackNumber = info.Track.section(QLatin1Char('/'), 0, 0);
    tag.TrackTotal = info.Track.section(QLatin1Char('/'), 1, 1);
    tag.DiscNumber = info.Disc.section(QLatin1Char('/'), 0, 0);
    tag.DiscTotal = info.Disc.section(QLatin1Char('/'), 1, 1);
}

// The ID3 and Vorbis comment records name these four fields alike.
template <typename Tag> Tag namedFields(const AudioFileinfo& info) {
    Tag tag;
    tag.Title = info.Title;
    tag.Artist = info.Artist;
    tag.Album = info.Album;
    tag.Genre = info.Genre;
    return tag;
}

} // namespace

void WriteOutputTags(const QString& outputName, AudioFileinfo info) {
    const QString suffix = QFileInfo(outputName).suffix();
    const QString extension = suffix.isEmpty() ? QString() : QLatin1Char('.') + suffix.toLower();

    try {
        if (extension == QLatin1String(".mp3")) {
            auto tag = namedFields<ID3StructV2>(info);
            tag.Year = info.Year;
            tag.Track = info.Track;
            tag.Disc = info.Disc;
            WriteID3v2Tag(outputName, tag);
        }
        if (extension == QLatin1String(".wma")) {
            WmaTagBuffer tag;
            SetWmaField(tag.Title, info.Title);
            SetWmaField(tag.Artist, info.Artist);
            SetWmaField(tag.Album, info.Album);
            SetWmaField(tag.Year, info.Year);
            SetWmaField(tag.Genre, info.Genre);
            SetWmaField(tag.PartOfSet, info.Disc);
            // The attribute holds the number alone, without the count.
            tag.TrackNumber =
                static_cast<std::uint16_t>(info.Track.section(QLatin1Char('/'), 0, 0).toUInt());
            QString failure;
            if (!WriteWmaTags(outputName, tag, &failure) && WmaInfoAvailable())
                throw Error(QStringLiteral("Cannot write the attributes: %1").arg(failure));
        }
        if (extension == QLatin1String(".ogg")) {
            auto tag = namedFields<OGGTag>(info);
            tag.Date = info.Year;
            numberFields(info, tag);
            // Failures to write throw; false is no library.
            WriteOggComments(outputName, tag);
        }
        if (extension == QLatin1String(".flac") || extension == QLatin1String(".opus")) {
            auto tag = namedFields<OGGTag>(info);
            tag.Date = info.Year;
            numberFields(info, tag);
            WriteXiphComments(outputName, tag);
        }
    } catch (const Error& e) {
        // A missing library is no failure, but a tag that was not written
        // is: the message names the output, which not every writer does.
        if (e.message().contains(outputName))
            throw;
        throw Error(QStringLiteral("%1: %2").arg(outputName, e.message()));
    }
}
