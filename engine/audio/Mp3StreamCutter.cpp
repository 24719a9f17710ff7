#include "engine/audio/Mp3StreamCutter.h"

#include "engine/audio/OutputFile.h"
#include "platform/Error.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr std::array<int, 16> Mpeg1Bitrates{0,   32,  40,  48,  56,  64,  80,  96,
                                            112, 128, 160, 192, 224, 256, 320, 0};
constexpr std::array<int, 16> Mpeg2Bitrates{0,  8,  16, 24,  32,  40,  48,  56,
                                            64, 80, 96, 112, 128, 144, 160, 0};
constexpr std::array<int, 3> Mpeg1Rates{44100, 48000, 32000};
// The Xing fields: tag, flags, frames, bytes, table of contents, quality.
constexpr int XingSize = 4 + 4 + 4 + 4 + 100 + 4;
constexpr int LameSize = 36;
constexpr int LameDelaysAt = 21; // from the version string on
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

struct Header {
    bool valid = false;
    bool mpeg1 = true;
    int layer = 0; // 1, 2 or 3
    int bitrateIndex = 0;
    int rate = 0;
    bool padded = false;
    bool crc = false;
    bool mono = false;

    int spf() const { return layer == 3 && !mpeg1 ? 576 : 1152; }
    int bitrate(int index) const { return (mpeg1 ? Mpeg1Bitrates : Mpeg2Bitrates)[index]; }
    int length(int index, bool pad) const {
        return (mpeg1 ? 144 : 72) * bitrate(index) * 1000 / rate + (pad ? 1 : 0);
    }
    int length() const { return length(bitrateIndex, padded); }
    int sideInfo() const { return mpeg1 ? (mono ? 17 : 32) : (mono ? 9 : 17); }
};

std::uint32_t bigEndian(const unsigned char* p) {
    return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 | p[3];
}

void putBigEndian(unsigned char* p, std::uint32_t v) {
    p[0] = static_cast<unsigned char>(v >> 24);
    p[1] = static_cast<unsigned char>(v >> 16);
    p[2] = static_cast<unsigned char>(v >> 8);
    p[3] = static_cast<unsigned char>(v);
}

Header parse(std::uint32_t v) {
    Header h;
    if ((v & 0xffe00000u) != 0xffe00000u)
        return h;
    const int version = (v >> 19) & 3; // 0: 2.5, 1: reserved, 2: 2, 3: 1
    const int layer = (v >> 17) & 3;
    const int rateIndex = (v >> 10) & 3;
    h.bitrateIndex = (v >> 12) & 15;
    if (version == 1 || layer == 0 || rateIndex == 3 || h.bitrateIndex == 15)
        return h;
    h.mpeg1 = version == 3;
    h.layer = 4 - layer;
    h.rate = Mpeg1Rates[static_cast<std::size_t>(rateIndex)] / (version == 3   ? 1
                                                                : version == 2 ? 2
                                                                               : 4);
    h.padded = (v >> 9) & 1;
    h.crc = ((v >> 16) & 1) == 0;
    h.mono = ((v >> 6) & 3) == 3;
    h.valid = true;
    return h;
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

std::uint16_t crc16(const unsigned char* data, std::size_t size, std::uint16_t start = 0) {
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

// The size of the ID3v2 tag whose first 10 bytes are `p`, 0 for none.
std::size_t id3v2Size(const unsigned char* p, std::size_t size) {
    if (size < 10 || std::memcmp(p, "ID3", 3) != 0)
        return 0;
    const std::size_t body = std::size_t(p[6] & 0x7f) << 21 | std::size_t(p[7] & 0x7f) << 14 |
                             std::size_t(p[8] & 0x7f) << 7 | (p[9] & 0x7f);
    return 10 + body + ((p[5] & 0x10) ? 10 : 0);
}

[[noreturn]] void failReading(const QFile& file) {
    throw Error(QStringLiteral("Cannot read %1: %2").arg(file.fileName(), file.errorString()));
}

// Reads `size` bytes at `at` into `into`; fewer only at the end of the file.
qint64 readAt(QFile& file, qint64 at, unsigned char* into, qint64 size) {
    if (!file.seek(at))
        failReading(file);
    const qint64 got = file.read(reinterpret_cast<char*>(into), size);
    if (got < 0)
        failReading(file);
    return got;
}

// The bytes of [begin, end) of a file, read forwards through a window, so
// that indexing a file of any length takes the memory of the window only.
class ForwardWindow {
public:
    ForwardWindow(QFile& file, qint64 begin, qint64 end) : file_(file), start_(begin), end_(end) {}

    // The `size` bytes at `at`, or nullptr when they run past the end.
    const unsigned char* at(qint64 at, std::size_t size) {
        const auto want = static_cast<qint64>(size);
        if (at < start_ || at + want > end_)
            return nullptr;
        if (at + want > start_ + static_cast<qint64>(bytes_.size())) {
            start_ = at;
            bytes_.resize(static_cast<std::size_t>(std::min(end_ - at, Chunk)));
            const qint64 got = readAt(file_, at, bytes_.data(), static_cast<qint64>(bytes_.size()));
            bytes_.resize(static_cast<std::size_t>(got));
            if (got < want)
                return nullptr;
        }
        return bytes_.data() + (at - start_);
    }

private:
    static constexpr qint64 Chunk = 1 << 18;
    QFile& file_;
    qint64 start_;
    qint64 end_;
    std::vector<unsigned char> bytes_;
};

} // namespace

bool Mp3StreamCutter::IsMp3(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray start = file.read(10);
    const std::size_t skip = id3v2Size(reinterpret_cast<const unsigned char*>(start.constData()),
                                       static_cast<std::size_t>(start.size()));
    if (!file.seek(static_cast<qint64>(skip)))
        return false;
    start = file.read(4096);
    // Other containers' audio can hold bytes that look like frame headers.
    for (const char* magic : {"RIFF", "RIFX", "fLaC", "OggS", "FORM", "wvpk", "MAC "})
        if (start.startsWith(magic))
            return false;
    if (start.mid(4, 4) == "ftyp")
        return false;
    const auto* p = reinterpret_cast<const unsigned char*>(start.constData());
    for (qsizetype i = 0; i + 4 <= start.size(); ++i) {
        const Header h = parse(bigEndian(p + i));
        // Free format and other layers are refused later, with the reason.
        if (h.valid && (h.bitrateIndex == 0 || h.layer != 3) && i == 0)
            return true;
        if (!h.valid || h.bitrateIndex == 0 || h.layer != 3)
            continue;
        const qsizetype next = i + h.length();
        if (next + 4 > start.size())
            return true;
        const Header after = parse(bigEndian(p + next));
        if (after.valid && after.rate == h.rate && after.layer == h.layer)
            return true;
    }
    return false;
}

Mp3StreamCutter::Mp3StreamCutter(const QString& source) : source_(source) {
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot open %1: %2").arg(source, file.errorString()));
    read(file);
}

int Mp3StreamCutter::sideInfoSize() const {
    return mpeg1_ ? (mono_ ? 17 : 32) : (mono_ ? 9 : 17);
}

void Mp3StreamCutter::read(QFile& file) {
    const auto note = [this](const char* why) {
        if (problem_.isEmpty())
            problem_ = QString::fromLatin1(why);
    };
    // The audio lies between the ID3v2 tags at the start and the ID3v1 and
    // APE tags at the end.
    qint64 begin = 0;
    qint64 end = file.size();
    std::array<unsigned char, 10> id3{};
    while (readAt(file, begin, id3.data(), 10) == 10) {
        const std::size_t size = id3v2Size(id3.data(), id3.size());
        if (size == 0)
            break;
        begin += static_cast<qint64>(size);
    }
    std::array<unsigned char, 128> tail{};
    if (end >= begin + 128 && readAt(file, end - 128, tail.data(), 128) == 128 &&
        std::memcmp(tail.data(), "TAG", 3) == 0)
        end -= 128;
    if (end >= begin + 32 && readAt(file, end - 32, tail.data(), 32) == 32 &&
        std::memcmp(tail.data(), "APETAGEX", 8) == 0) {
        const unsigned char* footer = tail.data();
        const std::size_t size =
            footer[12] | footer[13] << 8 | footer[14] << 16 | std::size_t(footer[15]) << 24;
        const bool header = footer[23] & 0x80;
        end -= std::min<qint64>(end - begin, static_cast<qint64>(size + (header ? 32 : 0)));
    }
    if (end < begin)
        end = begin;

    ForwardWindow window(file, begin, end);
    const auto headerAt = [&window](qint64 at) {
        const unsigned char* p = window.at(at, 4);
        return p ? parse(bigEndian(p)) : Header();
    };
    // The first frame is one followed by another like it (or by the end).
    qint64 at = begin;
    for (; at + 4 <= end; ++at) {
        const Header h = headerAt(at);
        if (h.valid && (h.bitrateIndex == 0 || h.layer != 3) && at == begin)
            break; // refused below
        if (!h.valid || h.bitrateIndex == 0 || h.layer != 3)
            continue;
        const qint64 next = at + h.length();
        if (next == end)
            break;
        const Header after = headerAt(next);
        if (after.valid && after.rate == h.rate && after.layer == h.layer)
            break;
    }
    const Header first = headerAt(at);
    if (!first.valid)
        throw Error(QStringLiteral("Cannot copy from %1: it is not MP3").arg(source_));
    if (first.layer != 3) {
        problem_ = QStringLiteral("not Layer III");
        return;
    }
    if (first.bitrateIndex == 0) {
        problem_ = QStringLiteral("free-format stream");
        return;
    }
    header_ = bigEndian(window.at(at, 4));
    mpeg1_ = first.mpeg1;
    mono_ = first.mono;
    rate_ = first.rate;
    spf_ = first.spf();

    bool gap = false;
    bool firstFrame = true;
    std::uint32_t firstAudio = 0;
    while (at + 4 <= end) {
        const Header h = headerAt(at);
        if (!h.valid || h.layer != 3 || h.bitrateIndex == 0) {
            // Junk: what follows counts only if frames go on after it.
            gap = true;
            ++at;
            continue;
        }
        const auto size = static_cast<std::size_t>(h.length());
        const unsigned char* p = window.at(at, size);
        if (!p)
            break;
        if (gap) {
            note("damaged source");
            gap = false;
        }
        if (h.mpeg1 != mpeg1_ || h.rate != rate_ || h.mono != mono_)
            note("rate or channels change");
        if (at + static_cast<qint64>(size) > MaxOffset) {
            note("source too large");
            break;
        }
        Frame frame{};
        frame.offset = static_cast<std::uint64_t>(at);
        frame.size = size;
        frame.bitrateIndex = static_cast<unsigned>(h.bitrateIndex);
        const unsigned char* side = p + (h.crc ? 6 : 4);
        frame.mainDataBegin = mpeg1_ ? (side[0] << 1 | side[1] >> 7) : side[0];
        frame.crc = h.crc;
        // A tag frame carries no audio the decoder gives.
        if (!(firstFrame && readTag(p, size))) {
            if (frames_.empty())
                firstAudio = bigEndian(p);
            frames_.push_back(frame);
        }
        firstFrame = false;
        at += static_cast<qint64>(size);
    }
    // Not shrunk to fit: the copy would cost more memory than the slack.
    if (frames_.empty())
        note("empty source");
    else // The new frames match the audio, not a tag frame another encoder wrote.
        header_ = firstAudio;

    // As FFmpeg counts: everything decoded, less the start and the end cut.
    std::int64_t decoded = static_cast<std::int64_t>(frames_.size()) * spf_;
    if (endCut_ >= 0 && endCut_ < decoded)
        decoded = endCut_;
    total_ = std::max<std::int64_t>(0, decoded - startSkip_);
}

bool Mp3StreamCutter::readTag(const unsigned char* p, std::size_t size) {
    const std::size_t xing = 4 + static_cast<std::size_t>(sideInfoSize());
    if (size >= 4 + 32 + 4 && std::memcmp(p + 36, "VBRI", 4) == 0) {
        lame_ = QByteArray("");
        return true;
    }
    if (size < xing + 8 ||
        (std::memcmp(p + xing, "Xing", 4) != 0 && std::memcmp(p + xing, "Info", 4) != 0))
        return false;
    const std::uint32_t flags = bigEndian(p + xing + 4);
    std::size_t at = xing + 8;
    std::int64_t frames = 0;
    bool bytes = false;
    if (flags & 1) {
        if (at + 4 > size)
            return false;
        frames = bigEndian(p + at);
        at += 4;
    }
    if (flags & 2) {
        bytes = true;
        at += 4;
    }
    if (flags & 4)
        at += 100;
    if (flags & 8)
        at += 4;
    // Without a count or a size the decoder plays the frame as audio.
    if (frames == 0 && !bytes)
        return false;
    lame_ = QByteArray("");
    if (at + LameSize <= size) {
        const QByteArray version(reinterpret_cast<const char*>(p + at), 4);
        if (version == "LAME" || version == "Lavf" || version == "Lavc") {
            lame_ = QByteArray(reinterpret_cast<const char*>(p + at), LameSize);
            const unsigned char* delays = p + at + LameDelaysAt;
            const int delay = delays[0] << 4 | delays[1] >> 4;
            const int padding = (delays[1] & 0x0f) << 8 | delays[2];
            startSkip_ = delay + DecoderDelay;
            // The decoder drops the padding past its own delay, counted from
            // the frames the tag names.
            if (frames > 0 && padding > DecoderDelay)
                endCut_ = frames * spf_ - padding + DecoderDelay;
        }
    }
    return true;
}

QString Mp3StreamCutter::obstacle(std::int64_t begin, std::int64_t end) const {
    if (!problem_.isEmpty())
        return problem_;
    if (begin < 0 || end <= begin || end > total_ || frames_.empty())
        return QStringLiteral("empty piece");
    const std::int64_t from = begin + startSkip_;
    const std::int64_t first = std::max<std::int64_t>(0, from / spf_ - (mpeg1_ ? 1 : 2));
    if (spf_ + from - first * spf_ - DecoderDelay > MaxDelay)
        return QStringLiteral("delay too long");
    return {};
}

QByteArray Mp3StreamCutter::silentFrame(const std::vector<unsigned char>& reservoir) const {
    Header h = parse(header_);
    const int side = sideInfoSize();
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
    const int xing = 4 + sideInfoSize();
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
    if (lame_.size() == LameSize) {
        std::memcpy(lame, lame_.constData(), LameSize);
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
        payload += static_cast<int>(frames_[i].size) - sideEnd(frames_[i]);
    }
    // From the main data of the frames before, last bytes first.
    std::vector<unsigned char> bytes(static_cast<std::size_t>(std::max(reach, 0)));
    auto filled = bytes.size();
    for (std::size_t i = first; i > 0 && filled > 0; --i) {
        const Frame& f = frames_[i - 1];
        const auto take = std::min<std::size_t>(
            static_cast<std::size_t>(static_cast<int>(f.size) - sideEnd(f)), filled);
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
