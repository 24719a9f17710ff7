#include "tags/XiphComments.h"

#include "platform/Error.h"

#include <QFile>
#include <QFileInfo>

#include <taglib/flacfile.h>
#include <taglib/opusfile.h>
#include <taglib/xiphcomment.h>

#include <memory>
#include <utility>

namespace {

// The fields in the order and with the names the Ogg Vorbis outputs use.
void fill(TagLib::Ogg::XiphComment& comment, const OGGTag& tag) {
    const std::pair<const char*, const QString*> fields[] = {
        {"TITLE", &tag.Title},           {"ARTIST", &tag.Artist},
        {"ALBUM", &tag.Album},           {"TRACKNUMBER", &tag.TrackNumber},
        {"TRACKTOTAL", &tag.TrackTotal}, {"DISCNUMBER", &tag.DiscNumber},
        {"DISCTOTAL", &tag.DiscTotal},   {"DATE", &tag.Date},
        {"GENRE", &tag.Genre},           {"COMMENT", &tag.Comment}};
    for (const auto& [key, value] : fields) {
        comment.removeFields(key);
        if (!value->isEmpty())
            comment.addField(key, TagLib::String(value->toStdString(), TagLib::String::UTF8));
    }
}

} // namespace

void WriteXiphComments(const QString& fileName, const OGGTag& tag) {
    const QByteArray path = QFile::encodeName(fileName);
    const QString extension = QFileInfo(fileName).suffix().toLower();
    std::unique_ptr<TagLib::File> file;
    TagLib::Ogg::XiphComment* comment = nullptr;
    if (extension == QLatin1String("flac")) {
        auto flac = std::make_unique<TagLib::FLAC::File>(path.constData(), false);
        if (flac->isValid())
            comment = flac->xiphComment(true);
        file = std::move(flac);
    } else if (extension == QLatin1String("opus")) {
        auto opus = std::make_unique<TagLib::Ogg::Opus::File>(path.constData(), false);
        if (opus->isValid())
            comment = opus->tag();
        file = std::move(opus);
    }
    if (!comment)
        throw Error(QStringLiteral("Cannot open %1 to write its comments").arg(fileName));
    fill(*comment, tag);
    if (!file->save())
        throw Error(QStringLiteral("Cannot write the comments of %1").arg(fileName));
}
