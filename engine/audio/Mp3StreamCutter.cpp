#include "engine/audio/Mp3StreamCutter.h"

#include "engine/audio/OutputFile.h"
#include "platform/Error.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace {

// The Xing fields: tag, flags, frames, bytes, table of contents, quality.
constexpr int XingSize = 4 + 4 + 4 + 4 + 100 + 4;
constexpr int LameSize = Mp3FrameIndex::LameSize;
constexpr int LameDelaysAt = Mp3FrameIndex::LameDelaysAt;
constexpr int LameCrcAt = 34;
// The most main data a frame may reach back for.
constexpr int MaxReservoir = 511;
// An empty ID3v2 tag ahead of the frames keeps room for the piece's tag, so
// the tag writer fills it in place instead of writing the piece again
// behind a new one. The largest tag of the piece's fields takes about 2.2 KB;
// the rest leaves room for the extra fields.
constexpr int TagRoom = 4096;

// An ID3v2.3 tag of `size` bytes, header included, holding only padding.
QByteArray emptyTag(int size) {
    QByteArray tag(size, '\0');
    const int body = size - 10;
    tag[0] = 'I';
    tag[1] = 'D';
    tag[2] = '3';
    tag[3] = 3;
    for (int i = 0; i < 4; ++i)
        tag[9 - i] = static_cast<char>((body >> (7 * i)) & 0x7f);
    return tag;
}

using Header = Mp3FrameIndex::Header;

std::uint32_t bigEndian(const unsigned char* p) {
    return Mp3FrameIndex::BigEndian(p);
}

Header parse(std::uint32_t v) {
    return Mp3FrameIndex::Parse(v);
}

void putBigEndian(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

// CRC-16 as the LAME tag keeps it (polynomial 0x8005, reflected). The music
// CRC runs over the whole piece, so it takes eight bytes a step: table k
// holds the CRC of a byte followed by k zero bytes.
using CrcTables = std::array<std::array<std::uint16_t, 256>, 8>;
constexpr CrcTables Crc = [] {
    CrcTables t{};
    for (unsigned i = 0; i < 256; ++i) {
        unsigned crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xa001 : crc >> 1;
        t[0][i] = static_cast<std::uint16_t>(crc);
    }
    for (std::size_t k = 1; k < t.size(); ++k)
        for (unsigned i = 0; i < 256; ++i)
            t[k][i] = static_cast<std::uint16_t>((t[k - 1][i] >> 8) ^ t[0][t[k - 1][i] & 0xff]);
    return t;
}();

std::uint16_t crc16Tables(const unsigned char* data, std::size_t size, std::uint16_t start) {
    unsigned crc = start;
    const unsigned char* p = data;
    for (; size >= 8; size -= 8, p += 8) {
        crc ^= unsigned(p[0]) | unsigned(p[1]) << 8;
        crc = Crc[7][crc & 0xff] ^ Crc[6][crc >> 8] ^ Crc[5][p[2]] ^ Crc[4][p[3]] ^ Crc[3][p[4]] ^
              Crc[2][p[5]] ^ Crc[1][p[6]] ^ Crc[0][p[7]];
    }
    for (; size > 0; --size, ++p)
        crc = (crc >> 8) ^ Crc[0][(crc ^ *p) & 0xff];
    return static_cast<std::uint16_t>(crc);
}

#if defined(__x86_64__)
// With carry-less multiplication, sixteen bytes at a time in four lanes:
// a block followed by n bytes leaves the remainder that its two halves
// multiplied by x^(8n+16) and x^(8n-48) mod P leave (the constants below,
// bit-reversed in 17 bits), so the lanes fold into the next blocks, then
// into each other, and the tables finish the last sixteen bytes.
__attribute__((target("pclmul,sse2"))) __m128i fold(__m128i block, __m128i by, __m128i next) {
    return _mm_xor_si128(
        _mm_xor_si128(_mm_clmulepi64_si128(block, by, 0x00), _mm_clmulepi64_si128(block, by, 0x11)),
        next);
}

__attribute__((target("pclmul,sse2"))) std::uint16_t
crc16Folded(const unsigned char* p, std::size_t size, std::uint16_t start) {
    const __m128i by16 = _mm_set_epi64x(0x18cc2, 0x1d0c2); // n = 16
    const __m128i by64 = _mm_set_epi64x(0x0bffa, 0x1b0c2); // n = 64
    const auto load = [](const unsigned char* q) {
        return _mm_loadu_si128(reinterpret_cast<const __m128i*>(q));
    };
    __m128i x0 = _mm_xor_si128(load(p), _mm_cvtsi32_si128(start));
    __m128i x1 = load(p + 16);
    __m128i x2 = load(p + 32);
    __m128i x3 = load(p + 48);
    p += 64;
    size -= 64;
    for (; size >= 64; size -= 64, p += 64) {
        x0 = fold(x0, by64, load(p));
        x1 = fold(x1, by64, load(p + 16));
        x2 = fold(x2, by64, load(p + 32));
        x3 = fold(x3, by64, load(p + 48));
    }
    __m128i x = fold(fold(fold(x0, by16, x1), by16, x2), by16, x3);
    for (; size >= 16; size -= 16, p += 16)
        x = fold(x, by16, load(p));
    std::array<unsigned char, 16> last{};
    _mm_storeu_si128(reinterpret_cast<__m128i*>(last.data()), x);
    return crc16Tables(p, size, crc16Tables(last.data(), last.size(), 0));
}
#endif

std::uint16_t crc16(const unsigned char* data, std::size_t size, std::uint16_t start = 0) {
#if defined(__x86_64__)
    static const bool folds = __builtin_cpu_supports("pclmul");
    if (folds && size >= 64)
        return crc16Folded(data, size, start);
#endif
    return crc16Tables(data, size, start);
}

qint64 readAt(QFile& file, qint64 at, unsigned char* into, qint64 size) {
    return Mp3FrameIndex::ReadAt(file, at, into, size);
}

} // namespace

bool Mp3StreamCutter::IsMp3(const QString& path) {
    return Mp3FrameIndex::IsMp3(path);
}

Mp3StreamCutter::Mp3StreamCutter(const QString& source)
    : source_(source), index_(Mp3FrameIndex::Of(source)), frames_(index_->frames()),
      header_(index_->header()), mpeg1_(index_->mpeg1()), spf_(index_->samplesPerFrame()),
      startSkip_(index_->startSkip()) {}

QString Mp3StreamCutter::obstacle(std::int64_t begin, std::int64_t end) const {
    if (!index_->problem().isEmpty())
        return index_->problem();
    if (begin < 0 || end <= begin || end > index_->totalFrames() || frames_.empty())
        return QStringLiteral("empty piece");
    const std::int64_t from = begin + startSkip_;
    const std::int64_t first = std::max<std::int64_t>(0, from / spf_ - (mpeg1_ ? 1 : 2));
    if (spf_ + from - first * spf_ - DecoderDelay > MaxDelay)
        return QStringLiteral("delay too long");
    return {};
}

QByteArray Mp3StreamCutter::silentFrame(const std::vector<unsigned char>& reservoir) const {
    Header h = parse(header_);
    const int side = index_->sideInfoSize();
    const auto need = static_cast<int>(reservoir.size());
    int index = h.bitrateIndex;
    if (h.length(index, false) - 4 - side < need)
        for (index = 1; index < 14 && h.length(index, false) - 4 - side < need; ++index) {
        }
    // No CRC, no padding, the same rate and channels.
    const std::uint32_t v = (header_ & ~0x0001f200u) | 0x00010000u | std::uint32_t(index) << 12;
    QByteArray frame(h.length(index, false), '\0');
    auto* p = reinterpret_cast<unsigned char*>(frame.data());
    putBigEndian(p, v);
    // Side information all zero: main data from here, no bits in any
    // granule, so the frame decodes to silence and leaves its main data to
    // the next frame's reservoir.
    std::copy(reservoir.begin(), reservoir.end(), p + frame.size() - need);
    return frame;
}

QByteArray Mp3StreamCutter::tagFrame(int bitrateIndex, std::int64_t frames, std::int64_t bytes,
                                     const std::array<std::int64_t, 100>& toc, int delay,
                                     int padding, std::uint16_t musicCrc, bool constant) const {
    Header h = parse(header_);
    const int xing = 4 + index_->sideInfoSize();
    const int need = xing + XingSize + LameSize;
    int index = bitrateIndex;
    if (h.length(index, false) < need)
        for (index = 1; index < 14 && h.length(index, false) < need; ++index) {
        }
    const std::uint32_t v = (header_ & ~0x0001f200u) | 0x00010000u | std::uint32_t(index) << 12;
    QByteArray frame(h.length(index, false), '\0');
    auto* p = reinterpret_cast<unsigned char*>(frame.data());
    const std::int64_t all = bytes + frame.size();
    putBigEndian(p, v);
    std::memcpy(p + xing, constant ? "Info" : "Xing", 4);
    putBigEndian(p + xing + 4, 0x0f);
    putBigEndian(p + xing + 8, static_cast<std::uint32_t>(frames));
    putBigEndian(p + xing + 12, static_cast<std::uint32_t>(all));
    for (std::size_t i = 0; i < toc.size(); ++i) {
        const auto at = toc[i] + frame.size();
        p[xing + 16 + i] = static_cast<unsigned char>(std::min<std::int64_t>(255, at * 256 / all));
    }
    unsigned char* lame = p + xing + XingSize;
    if (index_->lameTag().size() == LameSize) {
        std::memcpy(lame, index_->lameTag().constData(), LameSize);
        // The source's peak and gains are not the piece's.
        std::memset(lame + 11, 0, 8);
    } else {
        std::memcpy(lame, "LAME3.100", 9);
    }
    lame[LameDelaysAt] = static_cast<unsigned char>(delay >> 4);
    lame[LameDelaysAt + 1] = static_cast<unsigned char>((delay & 0x0f) << 4 | padding >> 8);
    lame[LameDelaysAt + 2] = static_cast<unsigned char>(padding & 0xff);
    putBigEndian(lame + 28, static_cast<std::uint32_t>(all));
    lame[32] = static_cast<unsigned char>(musicCrc >> 8);
    lame[33] = static_cast<unsigned char>(musicCrc & 0xff);
    const std::uint16_t crc = crc16(p, static_cast<std::size_t>(lame + LameCrcAt - p));
    lame[LameCrcAt] = static_cast<unsigned char>(crc >> 8);
    lame[LameCrcAt + 1] = static_cast<unsigned char>(crc & 0xff);
    return frame;
}

std::vector<unsigned char> Mp3StreamCutter::reservoir(QFile& file, std::size_t first,
                                                      std::size_t last) const {
    int reach = 0;
    int payload = 0;
    for (std::size_t i = first; i <= last && payload < MaxReservoir; ++i) {
        reach = std::max(reach, static_cast<int>(frames_[i].mainDataBegin) - payload);
        payload += static_cast<int>(frames_[i].size) - index_->sideEnd(frames_[i]);
    }
    // From the main data of the frames before, last bytes first.
    std::vector<unsigned char> bytes(static_cast<std::size_t>(std::max(reach, 0)));
    auto filled = bytes.size();
    for (std::size_t i = first; i > 0 && filled > 0; --i) {
        const Frame& f = frames_[i - 1];
        const auto take = std::min<std::size_t>(
            static_cast<std::size_t>(static_cast<int>(f.size) - index_->sideEnd(f)), filled);
        filled -= take;
        const auto at = static_cast<qint64>(offsetOf(f) + static_cast<std::int64_t>(f.size) -
                                            static_cast<std::int64_t>(take));
        if (readAt(file, at, bytes.data() + filled, static_cast<qint64>(take)) !=
            static_cast<qint64>(take))
            throw Error(QStringLiteral("Cannot read %1: the file has changed since it was opened")
                            .arg(source_));
    }
    bytes.erase(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(filled));
    return bytes;
}

std::int64_t Mp3StreamCutter::write(std::int64_t begin, std::int64_t end, const QString& output,
                                    const Progress& progress) const {
    const QString why = obstacle(begin, end);
    if (!why.isEmpty())
        throw Error(QStringLiteral("Cannot copy from %1: %2").arg(source_, why));
    const std::int64_t from = begin + startSkip_;
    const std::int64_t to = end + startSkip_; // in the decode of all frames
    const auto first =
        static_cast<std::size_t>(std::max<std::int64_t>(0, from / spf_ - (mpeg1_ ? 1 : 2)));
    const auto last = static_cast<std::size_t>((to - 1) / spf_);

    QFile source(source_);
    if (!source.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot open %1: %2").arg(source_, source.errorString()));
    const QByteArray silent = silentFrame(reservoir(source, first, last));
    const int silentIndex = static_cast<int>(
        (bigEndian(reinterpret_cast<const unsigned char*>(silent.constData())) >> 12) & 15);
    const std::int64_t lead = spf_ + from - static_cast<std::int64_t>(first) * spf_;

    // The tag frame goes first but depends on everything after it: it is
    // written once to hold its place and again at the end.
    OutputFile out(output);
    const QByteArray room = emptyTag(TagRoom);
    out.write(room.constData(), static_cast<std::size_t>(room.size()));
    const std::array<std::int64_t, 100> noToc{};
    const QByteArray placeholder = tagFrame(silentIndex, 1, 0, noToc, 0, 0, 0, true);
    out.write(placeholder.constData(), static_cast<std::size_t>(placeholder.size()));
    out.write(silent.constData(), static_cast<std::size_t>(silent.size()));
    auto crc = crc16(reinterpret_cast<const unsigned char*>(silent.constData()),
                     static_cast<std::size_t>(silent.size()));
    std::int64_t bytes = silent.size();
    bool constant = true;

    // The frames in runs read at once, each ending where a progress report
    // is due (a stop ends the piece there) or the frames stop being adjacent.
    std::vector<unsigned char> run;
    std::size_t i = first;
    bool stopped = false;
    while (i <= last && !stopped) {
        std::size_t j = i + 1;
        while (j <= last && (j - first) % 50 != 0 &&
               offsetOf(frames_[j]) == offsetOf(frames_[j - 1]) + frames_[j - 1].size)
            ++j;
        const std::int64_t size =
            offsetOf(frames_[j - 1]) + frames_[j - 1].size - offsetOf(frames_[i]);
        run.resize(static_cast<std::size_t>(size));
        if (readAt(source, offsetOf(frames_[i]), run.data(), size) != size)
            throw Error(QStringLiteral("Cannot read %1: the file has changed since it was opened")
                            .arg(source_));
        for (std::size_t k = i; k < j; ++k)
            constant = constant && static_cast<int>(frames_[k].bitrateIndex) == silentIndex;
        crc = crc16(run.data(), run.size(), crc);
        out.write(run.data(), run.size());
        bytes += size;
        i = j;
        const auto count = static_cast<std::int64_t>(i - first + 1);
        if (i <= last && progress && (i - first) % 50 == 0 &&
            !progress(std::clamp<std::int64_t>(count * spf_ - lead, 0, end - begin)))
            stopped = true;
    }
    const auto count = static_cast<std::int64_t>(i - first + 1); // with the silent frame
    const std::int64_t frames = std::clamp<std::int64_t>(count * spf_ - lead, 0, end - begin);
    const std::int64_t tail = count * spf_ - lead - frames;

    // Where every hundredth of the frames starts, from the silent frame on.
    std::array<std::int64_t, 100> toc{};
    std::int64_t offset = silent.size();
    std::size_t frame = 1;
    for (std::size_t n = 0; n < toc.size(); ++n) {
        const auto wanted = static_cast<std::size_t>(static_cast<std::int64_t>(n) * count / 100);
        if (wanted == 0)
            continue;
        for (; frame < wanted; ++frame)
            offset += static_cast<std::int64_t>(frames_[first + frame - 1].size);
        toc[n] = offset;
    }
    const QByteArray tag =
        tagFrame(silentIndex, count, bytes, toc, static_cast<int>(lead - DecoderDelay),
                 static_cast<int>(tail + DecoderDelay), crc, constant);
    out.rewriteAt(room.size(), tag.constData(), static_cast<std::size_t>(tag.size()));
    out.close();
    return frames;
}
