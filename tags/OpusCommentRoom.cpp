#include "tags/OpusCommentRoom.h"

#include "platform/Error.h"
#include "tags/OggCrc.h"

#include <QFile>

#include <taglib/xiphcomment.h>

#include <cstdint>
#include <cstring>
#include <optional>

namespace {

constexpr int HeaderBytes = 27;
constexpr int CrcAt = 22;

std::uint32_t littleEndian(const QByteArray& data, qsizetype at) {
    std::uint32_t value = 0;
    for (int i = 3; i >= 0; --i)
        value = value << 8 | static_cast<unsigned char>(data[at + i]);
    return value;
}

// One page: its header with the lacing values, and its body.
struct Page {
    QByteArray header;
    QByteArray body;

    int flags() const { return static_cast<unsigned char>(header[5]); }
    std::uint32_t serial() const { return littleEndian(header, 14); }
    std::uint32_t sequence() const { return littleEndian(header, 18); }
    bool granuleZero() const { return header.mid(6, 8) == QByteArray(8, '\0'); }
    // Whether it holds one packet, begun and ended on it.
    bool onePacket() const {
        const int segments = static_cast<unsigned char>(header[26]);
        if (segments == 0)
            return false;
        for (int s = 0; s + 1 < segments; ++s)
            if (static_cast<unsigned char>(header[HeaderBytes + s]) != 255)
                return false;
        return static_cast<unsigned char>(header[HeaderBytes + segments - 1]) < 255;
    }
    std::uint32_t crc() const {
        QByteArray bytes = header;
        std::memset(bytes.data() + CrcAt, 0, 4);
        const auto* h = reinterpret_cast<const unsigned char*>(bytes.constData());
        const auto* b = reinterpret_cast<const unsigned char*>(body.constData());
        return OggCrc::Update(OggCrc::Update(0, h, bytes.size()), b, body.size());
    }
    QByteArray bytes() const { return header + body; }
};

std::optional<Page> pageAt(QFile& file, qint64 offset) {
    Page page;
    if (!file.seek(offset))
        return std::nullopt;
    page.header = file.read(HeaderBytes);
    if (page.header.size() != HeaderBytes || !page.header.startsWith("OggS") || page.header[4] != 0)
        return std::nullopt;
    const int segments = static_cast<unsigned char>(page.header[26]);
    const QByteArray lacing = file.read(segments);
    if (lacing.size() != segments)
        return std::nullopt;
    page.header += lacing;
    qsizetype size = 0;
    for (char value : lacing)
        size += static_cast<unsigned char>(value);
    page.body = file.read(size);
    if (page.body.size() != size || page.crc() != littleEndian(page.header, CrcAt))
        return std::nullopt;
    return page;
}

// Where the comment list of an OpusTags packet ends; nothing when it does
// not read as one.
std::optional<qsizetype> commentsEnd(const QByteArray& packet) {
    qsizetype at = 8;
    const auto skipSized = [&] {
        if (at + 4 > packet.size())
            return false;
        at += 4 + littleEndian(packet, at);
        return at <= packet.size();
    };
    if (!packet.startsWith("OpusTags") || !skipSized() || at + 4 > packet.size())
        return std::nullopt;
    const std::uint32_t count = littleEndian(packet, at);
    at += 4;
    for (std::uint32_t i = 0; i < count; ++i)
        if (!skipSized())
            return std::nullopt;
    return at;
}

} // namespace

bool OpusCommentRoom::Fill(const QString& path, const Edit& edit,
                           const std::function<Error(const QString&)>& fail) {
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::ExistingOnly))
        return false;
    const std::optional<Page> head = pageAt(file, 0);
    if (!head || head->flags() != 0x02 || !head->onePacket() || !head->body.startsWith("OpusHead"))
        return false;
    const qint64 at = head->header.size() + head->body.size();
    const std::optional<Page> tags = pageAt(file, at);
    if (!tags || tags->flags() != 0 || tags->serial() != head->serial() || tags->sequence() != 1 ||
        !tags->granuleZero() || !tags->onePacket())
        return false;
    // Zeros after the comments are padding any editor may drop; anything
    // else there is somebody's data.
    const std::optional<qsizetype> used = commentsEnd(tags->body);
    if (!used || tags->body.sliced(*used).count('\0') != tags->body.size() - *used)
        return false;

    TagLib::Ogg::XiphComment comment(TagLib::ByteVector(
        tags->body.constData() + 8, static_cast<unsigned>(tags->body.size() - 8)));
    edit(comment);
    const TagLib::ByteVector rendered = comment.render(false);
    Page filled = *tags;
    filled.body = QByteArray("OpusTags") +
                  QByteArray(rendered.data(), static_cast<qsizetype>(rendered.size()));
    if (filled.body.size() > tags->body.size())
        return false;
    filled.body.append(tags->body.size() - filled.body.size(), '\0');
    const std::uint32_t crc = filled.crc();
    for (int i = 0; i < 4; ++i)
        filled.header[CrcAt + i] = static_cast<char>((crc >> (8 * i)) & 0xff);

    const QByteArray bytes = filled.bytes();
    if (!file.seek(at) || file.write(bytes) != bytes.size() || !file.flush()) {
        const QString why = file.errorString();
        const QByteArray old = tags->bytes();
        if (file.seek(at))
            file.write(old);
        throw fail(why);
    }
    return true;
}
