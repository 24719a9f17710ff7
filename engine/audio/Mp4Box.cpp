#include "engine/audio/Mp4Box.h"

#include <cstring>

namespace {

constexpr long long kMaxSmallBox = 1 << 20;

} // namespace

bool Mp4Box::is(const char* name) const {
    return std::memcmp(type, name, 4) == 0;
}

bool Mp4Box::Read(QFile& file, long long at, long long end, Mp4Box& box) {
    unsigned char head[16];
    if (end - at < 8 || !file.seek(at) || file.read(reinterpret_cast<char*>(head), 8) != 8)
        return false;
    std::uint64_t size = Be32(head);
    long long header = 8;
    if (size == 1) {
        if (file.read(reinterpret_cast<char*>(head + 8), 8) != 8)
            return false;
        size = Be64(head + 8);
        header = 16;
    } else if (size == 0) {
        size = static_cast<std::uint64_t>(end - at);
    }
    if (size < static_cast<std::uint64_t>(header) || size > static_cast<std::uint64_t>(end - at))
        return false;
    std::memcpy(box.type, head + 4, 4);
    box.start = at;
    box.payload = at + header;
    box.end = at + static_cast<long long>(size);
    return true;
}

QByteArray Mp4Box::Contents(QFile& file, const Mp4Box& box) {
    if (box.end - box.payload > kMaxSmallBox || !file.seek(box.payload))
        return {};
    return file.read(box.end - box.payload);
}

std::uint32_t Mp4Box::Be16(const unsigned char* p) {
    return std::uint32_t{p[0]} << 8 | p[1];
}

std::uint32_t Mp4Box::Be32(const unsigned char* p) {
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}

std::uint64_t Mp4Box::Be64(const unsigned char* p) {
    return std::uint64_t{Be32(p)} << 32 | Be32(p + 4);
}

const unsigned char* Mp4Box::Bytes(const QByteArray& data) {
    return reinterpret_cast<const unsigned char*>(data.constData());
}
