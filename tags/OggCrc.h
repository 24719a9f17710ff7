#pragma once

#include <QtGlobal>

#include <cstdint>

// The Ogg page checksum: CRC-32, polynomial 0x04C11DB7, not reflected, taken
// over the page with its own field as zeros. Every page of a file may be
// checked, so it takes eight bytes a step.
class OggCrc {
public:
    // `crc` carried on over `size` more bytes; start from 0.
    static std::uint32_t Update(std::uint32_t crc, const unsigned char* data, qint64 size);
};
