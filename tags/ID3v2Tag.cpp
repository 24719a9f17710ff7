#include "tags/ID3v2Tag.h"

#include "platform/Error.h"
#include "tags/ReplacementFile.h"
#include "tags/SavedPermissions.h"

#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <iterator>

namespace {

constexpr qsizetype MaxTextBytes = 255;
constexpr std::uint8_t Latin1 = 0;
constexpr std::uint8_t Utf16 = 1;

struct FrameField {
    const char* id;
    QString ID3StructV2::*field;
};

constexpr FrameField FrameOrder[8] = {
    {"TIT2", &ID3StructV2::Title},   {"TPE1", &ID3StructV2::Artist}, {"TALB", &ID3StructV2::Album},
    {"TRCK", &ID3StructV2::Track},   {"TYER", &ID3StructV2::Year},   {"TCON", &ID3StructV2::Genre},
    {"COMM", &ID3StructV2::Comment}, {"TPOS", &ID3StructV2::Disc},
};

// Frames every tag has, empty or not; the others only with a text.
constexpr size_t AlwaysWritten = 7;

bool used(const ID3v2FrameSlot& slot) {
    return slot.header[0] != 0;
}

bool isComment(const ID3v2FrameSlot& slot) {
    return std::equal(slot.header.begin(), slot.header.begin() + 4, "COMM");
}

// The empty, terminated content description that precedes a comment.
QByteArray commentDescription(std::uint8_t encoding) {
    if (encoding == Utf16)
        return QByteArray("\xFF\xFE\x00\x00", 4);
    return QByteArray(1, '\0');
}

std::uint32_t frameSize(const ID3v2FrameSlot& slot) {
    return (std::uint32_t{slot.header[4]} << 24) | (std::uint32_t{slot.header[5]} << 16) |
           (std::uint32_t{slot.header[6]} << 8) | std::uint32_t{slot.header[7]};
}

// The size, header included, of the ID3v2 tag at the start of `file` when it
// holds nothing but padding (room a writer kept for the tag); 0 otherwise.
qint64 emptyTagSize(QFile& file) {
    const QByteArray header = file.read(10);
    if (header.size() != 10 || !header.startsWith("ID3") || (header[3] != 3 && header[3] != 4) ||
        header[5] != 0)
        return 0;
    qint64 body = 0;
    for (int i = 6; i < 10; ++i) {
        if (header[i] & 0x80)
            return 0;
        body = body << 7 | header[i];
    }
    // Room is kept small; a large tag is somebody's data, never taken for it.
    if (body > (1 << 16))
        return 0;
    const QByteArray padding = file.read(body);
    if (padding.size() != body || padding.count('\0') != body)
        return 0;
    return 10 + body;
}

// Fills the empty tag of `size` bytes at the start of `file` with `tag`,
// padded to the same size; false when the tag does not fit.
bool fillEmptyTag(QFile& file, qint64 size, QByteArray tag) {
    if (tag.size() > size)
        return false;
    const qint64 body = size - 10;
    for (int i = 0; i < 4; ++i)
        tag[9 - i] = static_cast<char>((body >> (7 * i)) & 0x7f);
    tag.append(QByteArray(size - tag.size(), '\0'));
    return file.seek(0) && file.write(tag) == size && file.flush();
}

} // namespace

ID3v2Text EncodeID3v2Text(const QString& text) {
    const bool latin1 =
        std::all_of(text.begin(), text.end(), [](QChar c) { return c.unicode() <= 0xFF; });
    if (latin1)
        return {Latin1, text.left(MaxTextBytes).toLatin1()};

    // Byte-order mark plus two bytes a unit; a surrogate pair stays whole.
    qsizetype units = std::min(text.size(), (MaxTextBytes - 2) / 2);
    if (units > 0 && units < text.size() && text.at(units - 1).isHighSurrogate())
        --units;
    QByteArray bytes("\xFF\xFE", 2);
    for (qsizetype i = 0; i < units; ++i) {
        const char16_t unit = text.at(i).unicode();
        bytes.append(static_cast<char>(unit & 0xFF));
        bytes.append(static_cast<char>(unit >> 8));
    }
    return {Utf16, bytes};
}

ID3v2Buffer BuildID3v2Buffer(const ID3StructV2& tag) {
    ID3v2Buffer buffer;
    const char header[] = {'I', 'D', '3', 3, 0, 0};
    std::copy(std::begin(header), std::end(header), buffer.header.begin());

    for (size_t i = 0; i < std::size(FrameOrder); ++i) {
        ID3v2FrameSlot& slot = buffer.frames[i];
        slot.data.fill(0);
        if (i >= AlwaysWritten && (tag.*FrameOrder[i].field).isEmpty())
            continue;
        const ID3v2Text text = EncodeID3v2Text(tag.*FrameOrder[i].field);
        std::copy_n(FrameOrder[i].id, 4, slot.header.begin());
        slot.encoding = text.encoding;
        auto size = static_cast<std::uint32_t>(1 + text.bytes.size());
        if (isComment(slot))
            size += 3 + static_cast<std::uint32_t>(commentDescription(text.encoding).size());
        for (int b = 7; b >= 4; --b) {
            slot.header[static_cast<size_t>(b)] = static_cast<std::uint8_t>(size % 256);
            size /= 256;
        }
        slot.header[8] = 0;
        slot.header[9] = 0;
        std::copy(text.bytes.begin(), text.bytes.end(), slot.data.begin());
    }
    ComputeTagSize(buffer);
    return buffer;
}

void ComputeTagSize(ID3v2Buffer& buffer) {
    // The ten bytes of padding count, the header's own ten do not.
    std::uint32_t total = 10;
    for (const ID3v2FrameSlot& slot : buffer.frames)
        if (used(slot))
            total += 10 + (frameSize(slot) & 0x00FFFFFF);
    buffer.header[9] = static_cast<std::uint8_t>(total % 128);
    buffer.header[8] = static_cast<std::uint8_t>((total / 128) % 128);
    buffer.header[7] = static_cast<std::uint8_t>((total / 16384) % 128);
    buffer.header[6] = static_cast<std::uint8_t>(total / 2097152);
}

QByteArray ID3v2TagBytes(const ID3v2Buffer& buffer) {
    QByteArray bytes(reinterpret_cast<const char*>(buffer.header.data()), 10);
    for (const ID3v2FrameSlot& slot : buffer.frames) {
        if (!used(slot))
            continue;
        bytes.append(reinterpret_cast<const char*>(slot.header.data()), 10);
        bytes.append(static_cast<char>(slot.encoding));
        qsizetype textBytes = static_cast<qsizetype>(frameSize(slot)) - 1;
        if (isComment(slot)) {
            const QByteArray description = commentDescription(slot.encoding);
            bytes.append("eng", 3);
            bytes.append(description);
            textBytes -= 3 + description.size();
        }
        textBytes = std::clamp<qsizetype>(textBytes, 0, MaxTextBytes);
        bytes.append(reinterpret_cast<const char*>(slot.data.data()), textBytes);
    }
    bytes.append(10, '\0');
    return bytes;
}

void WriteID3v2Tag(const QString& fileName, ID3StructV2 tag) {
    const QFileInfo info(fileName);
    if (!info.exists() || !info.isFile())
        throw Error(QStringLiteral("Cannot open %1: the file does not exist").arg(fileName));

    // A read-only output is made writable for good: it is our own new file.
    constexpr auto writable =
        QFileDevice::WriteOwner | QFileDevice::WriteGroup | QFileDevice::WriteOther;
    QFileDevice::Permissions permissions = SavedPermissions::modeOf(fileName);
    if (!(permissions & writable)) {
        permissions = QFileDevice::ReadOwner | QFileDevice::WriteOwner;
        QFile::setPermissions(fileName, permissions);
    }

    QFile audio(fileName);
    if (!audio.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot open %1: %2").arg(fileName, audio.errorString()));

    const QByteArray tagBytes = ID3v2TagBytes(BuildID3v2Buffer(tag));
    const auto fail = [&](const QString& reason) {
        return Error(QStringLiteral("Cannot write the tag into %1: %2").arg(fileName, reason));
    };
    // Room kept for the tag is filled in place: the audio is not written
    // again. Whatever fails part way leaves a tag of frames and padding.
    const qint64 room = emptyTagSize(audio);
    if (room > 0 && tagBytes.size() <= room) {
        audio.close();
        QFile inPlace(fileName);
        if (!inPlace.open(QIODevice::ReadWrite | QIODevice::ExistingOnly) ||
            !fillEmptyTag(inPlace, room, tagBytes))
            throw fail(inPlace.errorString());
        return;
    }
    // The room, too small, gives way to the new tag.
    if (!audio.seek(room))
        throw fail(audio.errorString());

    ReplacementFile tagged(fileName);
    if (!tagged.open() || !tagged.write(tagBytes))
        throw fail(tagged.errorString());
    QByteArray chunk;
    while (!(chunk = audio.read(1 << 16)).isEmpty()) {
        if (!tagged.write(chunk))
            throw fail(tagged.errorString());
    }
    if (audio.error() != QFileDevice::NoError)
        throw fail(audio.errorString());
    const qint64 audioBytes = audio.size() - room;
    audio.close();
    // Proved before it takes the old file's place: all of it on the disk,
    // and the tag reads back as written.
    if (!tagged.finish())
        throw fail(tagged.errorString());
    QFile check(tagged.fileName());
    if (!check.open(QIODevice::ReadOnly) || check.size() != tagBytes.size() + audioBytes ||
        check.read(tagBytes.size()) != tagBytes)
        throw fail(QStringLiteral("the disk did not take the whole new file"));
    check.close();
    if (!tagged.commit(permissions))
        throw fail(tagged.errorString());
}
