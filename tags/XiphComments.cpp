#include "tags/XiphComments.h"

#include "platform/Error.h"
#include "tags/AudioPayload.h"
#include "tags/CheckedFileStream.h"
#include "tags/OpusCommentRoom.h"
#include "tags/ReplacementFile.h"
#include "tags/SavedPermissions.h"

#include <QFile>
#include <QFileInfo>

#include <taglib/flacfile.h>
#include <taglib/id3v2framefactory.h>
#include <taglib/opusfile.h>
#include <taglib/xiphcomment.h>

#include <functional>
#include <memory>
#include <utility>
#include <vector>

namespace {

using Fields = std::vector<std::pair<const char*, TagLib::String>>;

// The fields in the order and with the names the Ogg Vorbis outputs use;
// the empty ones are removed.
Fields fieldsOf(const OGGTag& tag) {
    const std::pair<const char*, const QString*> fields[] = {
        {"TITLE", &tag.Title},           {"ARTIST", &tag.Artist},
        {"ALBUM", &tag.Album},           {"TRACKNUMBER", &tag.TrackNumber},
        {"TRACKTOTAL", &tag.TrackTotal}, {"DISCNUMBER", &tag.DiscNumber},
        {"DISCTOTAL", &tag.DiscTotal},   {"DATE", &tag.Date},
        {"GENRE", &tag.Genre},           {"COMMENT", &tag.Comment}};
    Fields filled;
    for (const auto& [key, value] : fields)
        filled.emplace_back(key, TagLib::String(value->toStdString(), TagLib::String::UTF8));
    return filled;
}

void fill(TagLib::Ogg::XiphComment& comment, const Fields& fields) {
    for (const auto& [key, value] : fields) {
        comment.removeFields(key);
        if (!value.isEmpty())
            comment.addField(key, value);
    }
}

bool holds(const TagLib::Ogg::XiphComment& comment, const Fields& fields) {
    const TagLib::Ogg::FieldListMap& map = comment.fieldListMap();
    for (const auto& [key, value] : fields) {
        const auto found = map.find(key);
        const bool present = found != map.end() && !found->second.isEmpty();
        if (value.isEmpty() ? present : !present || found->second.front() != value)
            return false;
    }
    return true;
}

// Opens the file as FLAC or Opus and hands its comment block to `use`;
// false when the file does not read as one.
bool withComment(TagLib::IOStream& stream, bool flac,
                 const std::function<void(TagLib::File&, TagLib::Ogg::XiphComment&)>& use) {
    if (flac) {
        TagLib::FLAC::File file(&stream, TagLib::ID3v2::FrameFactory::instance(), false);
        if (!file.isValid())
            return false;
        use(file, *file.xiphComment(true));
        return true;
    }
    TagLib::Ogg::Opus::File file(&stream, false);
    if (!file.isValid() || file.tag() == nullptr)
        return false;
    use(file, *file.tag());
    return true;
}

} // namespace

void WriteXiphComments(const QString& fileName, const OGGTag& tag) {
    const QString extension = QFileInfo(fileName).suffix().toLower();
    const bool flac = extension == QLatin1String("flac");
    if (!flac && extension != QLatin1String("opus"))
        throw Error(QStringLiteral("Cannot open %1 to write its comments").arg(fileName));
    const auto fail = [&](const QString& reason) {
        return Error(QStringLiteral("Cannot write the comments of %1: %2").arg(fileName, reason));
    };
    const Fields fields = fieldsOf(tag);
    const auto readsBack = [&](const QString& path) {
        bool held = false;
        CheckedFileStream check(path);
        withComment(check, flac,
                    [&](TagLib::File&, TagLib::Ogg::XiphComment& c) { held = holds(c, fields); });
        return held;
    };
    // Room kept for the comments takes them in place; no audio is written.
    if (!flac && OpusCommentRoom::Fill(
                     fileName, [&](TagLib::Ogg::XiphComment& c) { fill(c, fields); }, fail)) {
        if (!readsBack(fileName))
            throw fail(QStringLiteral("the new file's comments cannot be read back"));
        return;
    }
    const auto audioOf = [flac](const QString& path) {
        return flac ? AudioPayload::OfFlac(path) : AudioPayload::OfOgg(path, 2);
    };
    const AudioPayload audio = audioOf(fileName);
    if (!audio.valid())
        throw Error(QStringLiteral("Cannot open %1 to write its comments").arg(fileName));

    // TagLib rewrites a file in place, and a rewrite cut short by a full disk
    // would leave neither the old file nor the new one. So it works on a
    // copy, which takes the file's place only once it is proved whole. Until
    // then the file stays as it was: complete, if untagged.
    ReplacementFile copy(fileName);
    copy.openCopyOf(fileName, fail);

    {
        CheckedFileStream stream(copy.fileName());
        bool saved = false;
        const bool opened =
            withComment(stream, flac, [&](TagLib::File& file, TagLib::Ogg::XiphComment& c) {
                fill(c, fields);
                saved = file.save();
            });
        if (!stream.failure().isEmpty())
            throw fail(stream.failure());
        if (!opened)
            throw Error(QStringLiteral("Cannot open %1 to write its comments").arg(fileName));
        if (!saved)
            throw fail(QStringLiteral("the new file cannot be saved"));
    }
    // A full disk may show only now.
    if (!copy.finish())
        throw fail(copy.errorString());
    // Proved before it takes the old file's place: the audio unchanged, and
    // the comments as written.
    if (audioOf(copy.fileName()) != audio)
        throw fail(QStringLiteral("the disk did not take the whole new file"));
    if (!readsBack(copy.fileName()))
        throw fail(QStringLiteral("the new file's comments cannot be read back"));
    if (!copy.commit(SavedPermissions::modeOf(fileName)))
        throw fail(copy.errorString());
}
