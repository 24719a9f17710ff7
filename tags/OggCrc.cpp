#include "tags/OggCrc.h"

#include <array>
#include <cstddef>

namespace {

// Table k holds the CRC of a byte followed by k zero bytes.
using Tables = std::array<std::array<std::uint32_t, 256>, 8>;
constexpr Tables tables = [] {
    Tables t{};
    for (std::uint32_t i = 0; i < 256; ++i) {
        std::uint32_t r = i << 24;
        for (int b = 0; b < 8; ++b)
            r = (r & 0x80000000u) ? (r << 1) ^ 0x04C11DB7u : r << 1;
        t[0][i] = r;
    }
    for (std::size_t k = 1; k < t.size(); ++k)
        for (std::uint32_t i = 0; i < 256; ++i)
            t[k][i] = (t[k - 1][i] << 8) ^ t[0][t[k - 1][i] >> 24];
    return t;
}();

} // namespace

std::uint32_t OggCrc::Update(std::uint32_t crc, const unsigned char* data, qint64 size) {
    const auto& t = tables;
    for (; size >= 8; size -= 8, data += 8) {
        crc ^= std::uint32_t(data[0]) << 24 | std::uint32_t(data[1]) << 16 |
               std::uint32_t(data[2]) << 8 | data[3];
        crc = t[7][crc >> 24] ^ t[6][(crc >> 16) & 0xff] ^ t[5][(crc >> 8) & 0xff] ^
              t[4][crc & 0xff] ^ t[3][data[4]] ^ t[2][data[5]] ^ t[1][data[6]] ^ t[0][data[7]];
    }
    for (; size > 0; --size, ++data)
        crc = (crc << 8) ^ t[0][((crc >> 24) ^ *data) & 0xFF];
    return crc;
}
