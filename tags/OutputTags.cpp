#include "tags/OutputTags.h"

#include "platform/Error.h"
#include "tags/ID3v2Tag.h"
#include "tags/OggComments.h"
#include "tags/WmaTags.h"
#include "tags/XiphComments.h"

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

// A missing library is no failure, but a tag that was not written is: the
// message names the output, which not every writer does.
template <typename Write> void naming(const QString& outputName, Write write) {
    try {
        write();
    } catch (const Error& e) {
        if (e.message().contains(outputName))
            throw;
        throw Error(QStringLiteral("%1: %2").arg(outputName, e.message()));
    }
}

} // namespace

void WriteId3OutputTags(const QString& outputName, const AudioFileinfo& info) {
    naming(outputName, [&] {
        auto tag = namedFields<ID3StructV2>(info);
        tag.Year = info.Year;
        tag.Track = info.Track;
        tag.Disc = info.Disc;
        WriteID3v2Tag(outputName, tag);
    });
}

void WriteWmaOutputTags(const QString& outputName, const AudioFileinfo& info) {
    naming(outputName, [&] {
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
    });
}

namespace {

// Ogg Vorbis, Opus and FLAC pieces all take Vorbis comments; only the
// writer of the file around them differs.
template <typename Write>
void writeComments(const QString& outputName, const AudioFileinfo& info, Write write) {
    naming(outputName, [&] {
        auto tag = namedFields<OGGTag>(info);
        tag.Date = info.Year;
        numberFields(info, tag);
        // Failures to write throw; false is no library.
        write(outputName, tag);
    });
}

} // namespace

void WriteOggOutputTags(const QString& outputName, const AudioFileinfo& info) {
    writeComments(outputName, info, WriteOggComments);
}

void WriteXiphOutputTags(const QString& outputName, const AudioFileinfo& info) {
    writeComments(outputName, info, WriteXiphComments);
}
