#pragma once

#include <cstddef>
#include <cstdint>

// The CRC-16 a LAME tag keeps of itself and of the music after it
// (polynomial 0x8005, reflected, starting from zero).
class LameCrc {
public:
    // The CRC of `size` bytes at `data`, carried on from `start`, the CRC of
    // the bytes before them.
    static std::uint16_t Of(const unsigned char* data, std::size_t size, std::uint16_t start = 0);
    // The CRC of two blocks one after the other, from their own CRCs and
    // the second's length. XORing the CRC of the whole with the first's
    // shifted likewise gives back the second's, so CRCs kept of every
    // prefix give any span's CRC without reading it again.
    static std::uint16_t Joined(std::uint16_t first, std::uint16_t second,
                                std::uint64_t secondSize);
};
