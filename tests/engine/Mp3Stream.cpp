#include "tests/engine/Mp3Stream.h"

#include <QFile>

#include <algorithm>
#include <cstdint>
#include <stdexcept>

namespace {

// Reads big-endian bit fields from a byte range.
class Bits {
public:
    Bits(const unsigned char* data, size_t size) : data_(data), size_(size) {}
    unsigned take(int count) {
        unsigned value = 0;
        for (int i = 0; i < count; ++i, ++at_) {
            if (at_ / 8 >= size_)
                throw std::runtime_error("MP3 side information runs past the frame");
            value = (value << 1) | ((data_[at_ / 8] >> (7 - at_ % 8)) & 1u);
        }
        return value;
    }

private:
    const unsigned char* data_;
    size_t size_;
    size_t at_ = 0;
};

constexpr int Kbps[16] = {0, 32, 40, 48, 56, 64, 80, 96, 112, 128, 160, 192, 224, 256, 320, 0};
constexpr int Rates[4] = {44100, 48000, 32000, 0};

bool isXing(const unsigned char* p) {
    return (p[0] == 'X' && p[1] == 'i' && p[2] == 'n' && p[3] == 'g') ||
           (p[0] == 'I' && p[1] == 'n' && p[2] == 'f' && p[3] == 'o');
}

std::uint32_t be32(const unsigned char* p) {
    return (std::uint32_t(p[0]) << 24) | (std::uint32_t(p[1]) << 16) | (std::uint32_t(p[2]) << 8) |
           p[3];
}

// A bit at a time, as plainly as it is defined (polynomial 0x8005,
// reflected).
int crc16(const unsigned char* p, size_t size) {
    unsigned crc = 0;
    for (size_t i = 0; i < size; ++i) {
        crc ^= p[i];
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xa001 : crc >> 1;
    }
    return static_cast<int>(crc);
}

} // namespace

Mp3Stream Mp3Stream::read(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot open " + path.toStdString());
    const QByteArray bytes = file.readAll();
    const auto* data = reinterpret_cast<const unsigned char*>(bytes.constData());
    const auto size = static_cast<size_t>(bytes.size());

    size_t at = 0;
    if (size >= 10 && data[0] == 'I' && data[1] == 'D' && data[2] == '3')
        at = 10 + ((data[6] & 0x7Fu) << 21 | (data[7] & 0x7Fu) << 14 | (data[8] & 0x7Fu) << 7 |
                   (data[9] & 0x7Fu));

    Mp3Stream stream;
    bool first = true;
    size_t audioStart = at;
    while (at + 4 <= size) {
        const unsigned char* h = data + at;
        if (h[0] != 0xFF || (h[1] & 0xFE) != 0xFA) // sync, MPEG-1, Layer III
            throw std::runtime_error("not an MPEG-1 Layer III frame");
        const bool protectedByCrc = (h[1] & 1) == 0;
        const int kbps = Kbps[h[2] >> 4];
        const int rate = Rates[(h[2] >> 2) & 3];
        if (kbps == 0 || rate == 0)
            throw std::runtime_error("unsupported MP3 frame header");
        const size_t length = 144u * kbps * 1000 / rate + ((h[2] >> 1) & 1);
        const int mode = h[3] >> 6;
        const int channels = mode == Mono ? 1 : 2;
        const size_t sideInfo = 4 + (protectedByCrc ? 2 : 0);
        const size_t sideLength = channels == 1 ? 17 : 32;
        if (at + sideInfo + sideLength > size)
            break;

        // The tag frame: Xing fields, then LAME's own. LAME puts them right
        // after the side information, leaving out the CRC bytes.
        const unsigned char* x = data + at + 4 + sideLength;
        if (first && at + 4 + sideLength + 4 <= size && isXing(x)) {
            const std::uint32_t flags = be32(x + 4);
            size_t lame = 8 + ((flags & 1) ? 4 : 0) + ((flags & 2) ? 4 : 0) +
                          ((flags & 4) ? 100 : 0) + ((flags & 8) ? 4 : 0);
            if (x + lame + 11 <= data + size && x[lame] == 'L' && x[lame + 1] == 'A') {
                stream.hasLameTag = true;
                stream.lowpassHz = x[lame + 10] * 100;
            }
            // FFmpeg's libmp3lame wrapper names itself "Lavc" in the tag.
            if (x + lame + 34 <= data + size && x[lame] == 'L')
                stream.musicCrc = x[lame + 32] << 8 | x[lame + 33];
            audioStart = at + length;
        } else {
            if (stream.audioFrames == 0) {
                stream.crc = protectedByCrc;
                stream.emphasis = h[3] & 3;
                stream.mode = mode;
            }
            ++stream.audioFrames;
            Bits bits(data + at + sideInfo, sideLength);
            bits.take(9);                     // main_data_begin
            bits.take(channels == 1 ? 5 : 3); // private bits
            bits.take(4 * channels);          // scfsi
            for (int granule = 0; granule < 2; ++granule) {
                int types[2] = {0, 0};
                for (int ch = 0; ch < channels; ++ch) {
                    bits.take(12 + 9 + 8 + 4);
                    if (bits.take(1)) { // window switching
                        types[ch] = static_cast<int>(bits.take(2));
                        bits.take(1 + 10 + 9);
                    } else {
                        bits.take(15 + 4 + 3);
                    }
                    bits.take(3);
                }
                if (types[0] == 2 || types[1] == 2)
                    ++stream.shortBlockGranules;
                if (channels == 2 && types[0] != types[1])
                    ++stream.differingBlockGranules;
            }
        }
        first = false;
        at += length;
    }
    if (stream.audioFrames == 0)
        throw std::runtime_error("no MP3 audio frames in " + path.toStdString());
    stream.framesCrc = crc16(data + audioStart, std::min(at, size) - audioStart);
    return stream;
}
