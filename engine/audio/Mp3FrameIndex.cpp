#include "engine/audio/Mp3FrameIndex.h"

#include "engine/audio/KeptByStamp.h"
#include "engine/audio/LameCrc.h"
#include "platform/Error.h"

#include <QFile>

#include <algorithm>
#include <cstring>

namespace {

constexpr std::array<int, 16> Mpeg1Bitrates{0,   32,  40,  48,  56,  64,  80,  96,
                                            112, 128, 160, 192, 224, 256, 320, 0};
constexpr std::array<int, 16> Mpeg2Bitrates{0,  8,  16, 24,  32,  40,  48,  56,
                                            64, 80, 96, 112, 128, 144, 160, 0};
constexpr std::array<int, 3> Mpeg1Rates{44100, 48000, 32000};

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
            const qint64 got =
                Mp3FrameIndex::ReadAt(file_, at, bytes_.data(), static_cast<qint64>(bytes_.size()));
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

// The indexes of the files opened last: a run opens its source to measure
// it, again in the run, and once more to copy from it.
KeptByStamp<Mp3FrameIndex> keptIndexes;

} // namespace

int Mp3FrameIndex::Header::bitrate(int index) const {
    return (mpeg1 ? Mpeg1Bitrates : Mpeg2Bitrates)[static_cast<std::size_t>(index)];
}

Mp3FrameIndex::Header Mp3FrameIndex::Parse(std::uint32_t v) {
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

std::size_t Mp3FrameIndex::Id3v2Size(const unsigned char* p, std::size_t size) {
    if (size < 10 || std::memcmp(p, "ID3", 3) != 0)
        return 0;
    const std::size_t body = std::size_t(p[6] & 0x7f) << 21 | std::size_t(p[7] & 0x7f) << 14 |
                             std::size_t(p[8] & 0x7f) << 7 | (p[9] & 0x7f);
    return 10 + body + ((p[5] & 0x10) ? 10 : 0);
}

qint64 Mp3FrameIndex::ReadAt(QFile& file, qint64 at, unsigned char* into, qint64 size) {
    const auto fail = [&file] {
        throw Error(QStringLiteral("Cannot read %1: %2").arg(file.fileName(), file.errorString()));
    };
    if (!file.seek(at))
        fail();
    const qint64 got = file.read(reinterpret_cast<char*>(into), size);
    if (got < 0)
        fail();
    return got;
}

bool Mp3FrameIndex::IsMp3(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    QByteArray start = file.read(10);
    const std::size_t skip = Id3v2Size(reinterpret_cast<const unsigned char*>(start.constData()),
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
        const Header h = Parse(BigEndian(p + i));
        // Free format and other layers are refused later, with the reason.
        if (h.valid && (h.bitrateIndex == 0 || h.layer != 3) && i == 0)
            return true;
        if (!h.valid || h.bitrateIndex == 0 || h.layer != 3)
            continue;
        const qsizetype next = i + h.length();
        if (next + 4 > start.size())
            return true;
        const Header after = Parse(BigEndian(p + next));
        if (after.valid && after.rate == h.rate && after.layer == h.layer)
            return true;
    }
    return false;
}

Mp3FrameIndex::Mp3FrameIndex(const QString& path)
    : source_(path), stamp_(FileStamp::Of(path)) { // before reading: a change shows later
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
    read(file);
}

std::shared_ptr<const Mp3FrameIndex> Mp3FrameIndex::Of(const QString& path) {
    if (std::shared_ptr<const Mp3FrameIndex> kept = keptIndexes.find(FileStamp::Of(path)))
        return kept;
    auto index = std::make_shared<const Mp3FrameIndex>(path);
    keptIndexes.keep(index->stamp(), index);
    return index;
}

int Mp3FrameIndex::sideInfoSize() const {
    return mpeg1_ ? (mono_ ? 17 : 32) : (mono_ ? 9 : 17);
}

void Mp3FrameIndex::read(QFile& file) {
    const auto note = [this](const char* why) {
        if (problem_.isEmpty())
            problem_ = QString::fromLatin1(why);
    };
    // The audio lies between the ID3v2 tags at the start and the ID3v1 and
    // APE tags at the end.
    qint64 begin = 0;
    qint64 end = file.size();
    std::array<unsigned char, 10> id3{};
    while (ReadAt(file, begin, id3.data(), 10) == 10) {
        const std::size_t size = Id3v2Size(id3.data(), id3.size());
        if (size == 0)
            break;
        begin += static_cast<qint64>(size);
    }
    std::array<unsigned char, 128> tail{};
    if (end >= begin + 128 && ReadAt(file, end - 128, tail.data(), 128) == 128 &&
        std::memcmp(tail.data(), "TAG", 3) == 0)
        end -= 128;
    if (end >= begin + 32 && ReadAt(file, end - 32, tail.data(), 32) == 32 &&
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
        return p ? Parse(BigEndian(p)) : Header();
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
    const qint64 firstAt = at;
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
    header_ = BigEndian(window.at(at, 4));
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
                firstAudio = BigEndian(p);
            frames_.push_back(frame);
            crcs_.push_back(LameCrc::Of(p, size, crcs_.empty() ? 0 : crcs_.back()));
        }
        firstFrame = false;
        at += static_cast<qint64>(size);
    }
    // Frames to the end, with no partial frame or junk after them.
    whole_ = firstAt == begin && !gap && at == end;
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

bool Mp3FrameIndex::readTag(const unsigned char* p, std::size_t size) {
    const std::size_t xing = 4 + static_cast<std::size_t>(sideInfoSize());
    if (size >= 4 + 32 + 4 && std::memcmp(p + 36, "VBRI", 4) == 0) {
        lame_ = QByteArray("");
        return true;
    }
    if (size < xing + 8 ||
        (std::memcmp(p + xing, "Xing", 4) != 0 && std::memcmp(p + xing, "Info", 4) != 0))
        return false;
    const std::uint32_t flags = BigEndian(p + xing + 4);
    std::size_t at = xing + 8;
    std::int64_t frames = 0;
    bool bytes = false;
    if (flags & 1) {
        if (at + 4 > size)
            return false;
        frames = BigEndian(p + at);
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
