#include "tags/Mp4Tags.h"

#include "platform/Error.h"
#include "tags/CheckedFileStream.h"
#include "tags/ReplacementFile.h"
#include "tags/SavedPermissions.h"

#include <QFile>

#include <taglib/mp4file.h>
#include <taglib/mp4item.h>
#include <taglib/mp4tag.h>

#include <utility>
#include <vector>

namespace {

TagLib::String text(const QString& value) {
    return TagLib::String(value.toStdString(), TagLib::String::UTF8);
}

// "n/N" or "n" as the pair of numbers an MP4 item holds; 0 for a part
// that is missing or no number.
std::pair<int, int> numberPair(const QString& value) {
    return {value.section(QLatin1Char('/'), 0, 0).trimmed().toInt(),
            value.section(QLatin1Char('/'), 1, 1).trimmed().toInt()};
}

struct Items {
    std::vector<std::pair<const char*, TagLib::String>> texts;
    std::pair<int, int> track;
    std::pair<int, int> disc;
};

Items itemsOf(const AudioFileinfo& info) {
    return {{{"\251nam", text(info.Title)},
             {"\251ART", text(info.Artist)},
             {"\251alb", text(info.Album)},
             {"\251day", text(info.Year)},
             {"\251gen", text(info.Genre)}},
            numberPair(info.Track),
            numberPair(info.Disc)};
}

void setPair(TagLib::MP4::Tag& tag, const char* key, std::pair<int, int> value) {
    if (value.first > 0)
        tag.setItem(key, TagLib::MP4::Item(value.first, value.second));
    else
        tag.removeItem(key);
}

void fill(TagLib::MP4::Tag& tag, const Items& items) {
    for (const auto& [key, value] : items.texts) {
        if (value.isEmpty())
            tag.removeItem(key);
        else
            tag.setItem(key, TagLib::StringList(value));
    }
    setPair(tag, "trkn", items.track);
    setPair(tag, "disk", items.disc);
}

bool holds(const TagLib::MP4::Tag& tag, const Items& items) {
    for (const auto& [key, value] : items.texts) {
        const bool present = tag.contains(key);
        if (value.isEmpty() ? present : !present || tag.item(key).toStringList().front() != value)
            return false;
    }
    for (const auto& [key, value] : {std::pair{"trkn", items.track}, {"disk", items.disc}}) {
        if (value.first <= 0) {
            if (tag.contains(key))
                return false;
            continue;
        }
        const TagLib::MP4::Item::IntPair pair = tag.item(key).toIntPair();
        if (pair.first != value.first || pair.second != value.second)
            return false;
    }
    return true;
}

} // namespace

void WriteMp4Tags(const QString& fileName, const AudioFileinfo& info) {
    const auto fail = [&](const QString& reason) {
        return Error(QStringLiteral("Cannot write the tags of %1: %2").arg(fileName, reason));
    };
    // TagLib rewrites a file in place; it works on a copy that takes the
    // file's place only once it is proved whole, so a full disk leaves the
    // file as it was: complete, if untagged.
    ReplacementFile copy(fileName);
    copy.openCopyOf(fileName, fail);

    const Items items = itemsOf(info);
    {
        CheckedFileStream stream(copy.fileName());
        TagLib::MP4::File file(&stream, false);
        if (!file.isValid() || file.tag() == nullptr)
            throw Error(QStringLiteral("Cannot open %1 to write its tags").arg(fileName));
        fill(*file.tag(), items);
        const bool saved = file.save();
        if (!stream.failure().isEmpty())
            throw fail(stream.failure());
        if (!saved)
            throw fail(QStringLiteral("the new file cannot be saved"));
    }
    if (!copy.finish())
        throw fail(copy.errorString());
    {
        CheckedFileStream check(copy.fileName());
        TagLib::MP4::File file(&check, false);
        if (!file.isValid() || file.tag() == nullptr || !holds(*file.tag(), items))
            throw fail(QStringLiteral("the new file's tags cannot be read back"));
    }
    if (!copy.commit(SavedPermissions::modeOf(fileName)))
        throw fail(copy.errorString());
}
