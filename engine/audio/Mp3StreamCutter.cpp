#include "engine/audio/Mp3StreamCutter.h"

#include "engine/audio/LameCrc.h"
#include "engine/audio/OutputFile.h"
#include "platform/Error.h"

#include <QFile>

#include <algorithm>
#include <array>
#include <cstring>

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
// Frames copied between progress reports.
constexpr std::size_t ProgressFrames = 50;

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

void Mp3StreamCutter::changed() const {
    throw Error(
        QStringLiteral("Cannot read %1: the file has changed since it was opened").arg(source_));
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
    const std::uint16_t crc = LameCrc::Of(p, static_cast<std::size_t>(lame + LameCrcAt - p));
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
            changed();
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
    std::int64_t bytes = silent.size();
    bool constant = true;

    // The frames in runs copied at once, each ending where a progress report
    // is due (a stop ends the piece there) or the frames stop being adjacent.
    std::size_t i = first;
    bool stopped = false;
    while (i <= last && !stopped) {
        std::size_t j = i + 1;
        while (j <= last && (j - first) % ProgressFrames != 0 &&
               offsetOf(frames_[j]) == offsetOf(frames_[j - 1]) + frames_[j - 1].size)
            ++j;
        const std::int64_t size =
            offsetOf(frames_[j - 1]) + frames_[j - 1].size - offsetOf(frames_[i]);
        if (out.copyFrom(source_, source.handle(), offsetOf(frames_[i]), size) != size)
            changed();
        for (std::size_t k = i; k < j; ++k)
            constant = constant && static_cast<int>(frames_[k].bitrateIndex) == silentIndex;
        bytes += size;
        i = j;
        const auto count = static_cast<std::int64_t>(i - first + 1);
        if (i <= last && progress && (i - first) % ProgressFrames == 0 &&
            !progress(std::clamp<std::int64_t>(count * spf_ - lead, 0, end - begin)))
            stopped = true;
    }
    // The bytes copied are the ones the index walked only while the file
    // is as it was then; their CRC is the index's.
    if (FileStamp::Of(source_) != index_->stamp())
        changed();
    const auto copied = static_cast<std::uint64_t>(bytes - silent.size());
    const std::uint16_t crc =
        LameCrc::Joined(LameCrc::Of(reinterpret_cast<const unsigned char*>(silent.constData()),
                                    static_cast<std::size_t>(silent.size())),
                        LameCrc::Joined(first > 0 ? index_->crcThrough(first - 1) : 0,
                                        index_->crcThrough(i - 1), copied),
                        copied);
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
