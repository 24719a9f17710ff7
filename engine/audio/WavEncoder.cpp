#include "engine/audio/WavEncoder.h"

#include "engine/audio/ChannelOrder.h"
#include "platform/Error.h"

#include <sndfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstring>

namespace {

// Frames converted per write to the output, which bounds the buffer whatever
// the size of the blocks the caller passes.
constexpr std::size_t kBlockFrames = 16384;
// The largest size a RIFF header counts.
constexpr std::uint64_t kRiffLimit = 0xFFFFFFFFu;
// The body of RF64's ds64 chunk: the RIFF size, the data size and the sample
// count, 64 bits each, and the length of an empty table. A small file holds
// a JUNK chunk of this size in its place.
constexpr std::uint32_t kDs64Body = 3 * 8 + 4;
constexpr std::uint16_t kFormatPcm = 0x0001;
constexpr std::uint16_t kFormatExtensible = 0xFFFE;
// KSDATAFORMAT_SUBTYPE_PCM, as stored.
constexpr unsigned char kSubtypePcm[16] = {0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x10, 0x00,
                                           0x80, 0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71};

std::uint32_t speakerBit(ChannelOrder::Speaker speaker) {
    switch (speaker) {
    case ChannelOrder::FrontLeft:
        return 0x1;
    case ChannelOrder::FrontRight:
        return 0x2;
    case ChannelOrder::FrontCenter:
        return 0x4;
    case ChannelOrder::Lfe:
        return 0x8;
    case ChannelOrder::BackLeft:
        return 0x10;
    case ChannelOrder::BackRight:
        return 0x20;
    case ChannelOrder::BackCenter:
        return 0x100;
    case ChannelOrder::SideLeft:
        return 0x200;
    case ChannelOrder::SideRight:
        return 0x400;
    case ChannelOrder::Other:
        break;
    }
    return 0;
}

// The speaker mask of the order the channels are written in. A mask lists
// the channels by its bits upwards; an order that is no such list (more than
// 8 channels) gets 0, which names no speakers.
std::uint32_t speakerMask(int channels) {
    std::uint32_t mask = 0;
    for (const ChannelOrder::Speaker speaker : ChannelOrder::Wav(channels)) {
        const std::uint32_t bit = speakerBit(speaker);
        if (bit <= mask)
            return 0;
        mask |= bit;
    }
    return mask;
}

// Whether the plain PCM format chunk says everything: WAVE_FORMAT_EXTENSIBLE
// is for more than 2 channels, whose speakers it names, and for more than 16
// bits, whose valid bits it states.
bool needsExtensible(int channels, int bits) {
    return channels > 2 || bits > 16;
}

// Little-endian header fields.
class HeaderWriter {
public:
    explicit HeaderWriter(std::vector<unsigned char>& out) : out_(out) {}
    void tag(const char* fourCc) { out_.insert(out_.end(), fourCc, fourCc + 4); }
    void u16(std::uint64_t value) { put(value, 2); }
    void u32(std::uint64_t value) { put(value, 4); }
    void u64(std::uint64_t value) { put(value, 8); }
    void bytes(const unsigned char* data, std::size_t size) {
        out_.insert(out_.end(), data, data + size);
    }
    void zeros(std::size_t size) { out_.insert(out_.end(), size, 0); }

private:
    void put(std::uint64_t value, int size) {
        for (int i = 0; i < size; ++i)
            out_.push_back(static_cast<unsigned char>(value >> (8 * i)));
    }
    std::vector<unsigned char>& out_;
};

// Checked before anything is created: a refused setting leaves no file
// behind.
void checkFormat(const QString& path, int rate, int channels, int bitsPerSample) {
    if (bitsPerSample != 8 && bitsPerSample != 16 && bitsPerSample != 24 && bitsPerSample != 32)
        throw Error(QStringLiteral("Cannot create %1: WAV files of %2 bits per sample are not "
                                   "supported")
                        .arg(path)
                        .arg(bitsPerSample));
    // The block size and the bytes per second must fit their fields.
    const auto blockAlign = static_cast<std::uint64_t>(channels) * (bitsPerSample / 8);
    if (rate <= 0 || channels <= 0 || blockAlign > 0xFFFF ||
        static_cast<std::uint64_t>(rate) * blockAlign > kRiffLimit)
        throw Error(QStringLiteral("Cannot create %1: WAV cannot hold %2 Hz, %3 channels, %4 bits")
                        .arg(path)
                        .arg(rate)
                        .arg(channels)
                        .arg(bitsPerSample));
}

// Samples of `Bytes` bytes, little-endian, 8-bit ones unsigned: rounded to
// the nearest step, overs clipped, what is no number silence. Channel c of a
// frame is channel order[c] of the same input frame.
template <int Bytes>
void convert(const float* in, std::size_t frames, const std::vector<int>& order,
             unsigned char* out) {
    constexpr double scale = static_cast<double>(1LL << (8 * Bytes - 1));
    // Adding and taking away 1.5 · 2^52 rounds a double of less than 2^51 to
    // the nearest integer, ties to even, as std::llrint does, without a call
    // into the maths library for each sample.
    constexpr double round = 6755399441055744.0;
    const std::size_t channels = order.size();
    for (std::size_t f = 0; f < frames; ++f, in += channels)
        for (std::size_t c = 0; c < channels; ++c) {
            const float x = in[static_cast<std::size_t>(order[c])];
            const double v = std::isfinite(x) ? std::clamp(x * scale, -scale, scale - 1) : 0.0;
            const auto sample = static_cast<long long>((v + round) - round);
            if constexpr (Bytes == 1) {
                *out++ = static_cast<unsigned char>(sample + 128);
            } else {
                for (int b = 0; b < Bytes; ++b)
                    *out++ = static_cast<unsigned char>(static_cast<unsigned long long>(sample) >>
                                                        (8 * b));
            }
        }
}

} // namespace

WavEncoder::WavEncoder(const QString& path, int rate, int channels, int bitsPerSample)
    : path_(path), rate_(rate), channels_(channels), bits_(bitsPerSample),
      order_(ChannelOrder::Map(ChannelOrder::Vorbis(channels), ChannelOrder::Wav(channels))) {
    checkFormat(path, rate, channels, bitsPerSample);
    file_.emplace(path);
    open_ = true;
    const std::vector<unsigned char> start = header(0);
    put(start.data(), start.size());
}

WavEncoder::WavEncoder(const QString& name, SF_VIRTUAL_IO& io, void* user, int rate, int channels,
                       int bitsPerSample)
    : path_(name), rate_(rate), channels_(channels), bits_(bitsPerSample),
      order_(ChannelOrder::Map(ChannelOrder::Vorbis(channels), ChannelOrder::Wav(channels))),
      io_(&io), user_(user) {
    checkFormat(name, rate, channels, bitsPerSample);
    open_ = true;
    const std::vector<unsigned char> start = header(0);
    put(start.data(), start.size());
}

WavEncoder::~WavEncoder() {
    if (!open_)
        return;
    try {
        finish();
    } catch (...) {
        // Nobody is left to tell; the file holds what could be written.
    }
}

std::vector<unsigned char> WavEncoder::header(std::uint64_t dataBytes) const {
    const bool extensible = needsExtensible(channels_, bits_);
    const std::uint32_t fmtBody = extensible ? 40 : 16;
    const std::uint64_t headerBytes = 12 + (8 + kDs64Body) + (8 + fmtBody) + 8;
    // A data chunk of an odd size is followed by a pad byte.
    const std::uint64_t riffBytes = headerBytes - 8 + dataBytes + (dataBytes & 1);
    const bool rf64 = riffBytes > kRiffLimit;
    const auto blockAlign = static_cast<std::uint64_t>(channels_) * (bits_ / 8);

    std::vector<unsigned char> bytes;
    bytes.reserve(headerBytes);
    HeaderWriter h(bytes);
    h.tag(rf64 ? "RF64" : "RIFF");
    h.u32(rf64 ? kRiffLimit : riffBytes);
    h.tag("WAVE");
    if (rf64) {
        h.tag("ds64");
        h.u32(kDs64Body);
        h.u64(riffBytes);
        h.u64(dataBytes);
        h.u64(dataBytes / blockAlign);
        h.u32(0);
    } else {
        h.tag("JUNK");
        h.u32(kDs64Body);
        h.zeros(kDs64Body);
    }
    h.tag("fmt ");
    h.u32(fmtBody);
    h.u16(extensible ? kFormatExtensible : kFormatPcm);
    h.u16(static_cast<std::uint64_t>(channels_));
    h.u32(static_cast<std::uint64_t>(rate_));
    h.u32(static_cast<std::uint64_t>(rate_) * blockAlign);
    h.u16(blockAlign);
    h.u16(static_cast<std::uint64_t>(bits_));
    if (extensible) {
        h.u16(22);                                // the extension's size
        h.u16(static_cast<std::uint64_t>(bits_)); // valid bits: all of them
        h.u32(speakerMask(channels_));
        h.bytes(kSubtypePcm, sizeof kSubtypePcm);
    }
    h.tag("data");
    h.u32(rf64 ? kRiffLimit : dataBytes);
    return bytes;
}

void WavEncoder::put(const void* data, std::size_t size) {
    if (file_) {
        file_->write(data, size);
        return;
    }
    errno = 0;
    const sf_count_t written = io_->write(data, static_cast<sf_count_t>(size), user_);
    if (written != static_cast<sf_count_t>(size))
        fail("write", errno);
}

void WavEncoder::rewriteHeader(const std::vector<unsigned char>& bytes) {
    if (file_) {
        file_->rewriteStart(bytes.data(), bytes.size());
        return;
    }
    errno = 0;
    if (io_->seek(0, SEEK_SET, user_) != 0)
        fail("complete", errno);
    put(bytes.data(), bytes.size());
    io_->seek(0, SEEK_END, user_);
}

void WavEncoder::fail(const char* what, int error) const {
    const QString reason = error != 0 ? QString::fromLocal8Bit(std::strerror(error))
                                      : QStringLiteral("the output took only part of the data");
    throw Error(QStringLiteral("Cannot %1 %2: %3").arg(QString::fromLatin1(what), path_, reason));
}

void WavEncoder::write(const float* interleaved, std::size_t frames) {
    if (!open_ || frames == 0)
        return;
    const auto channels = static_cast<std::size_t>(channels_);
    const auto blockAlign = channels * static_cast<std::size_t>(bits_ / 8);
    for (std::size_t done = 0; done < frames;) {
        const std::size_t n = std::min(kBlockFrames, frames - done);
        bytes_.resize(n * blockAlign);
        const float* in = interleaved + done * channels;
        switch (bits_) {
        case 8:
            convert<1>(in, n, order_, bytes_.data());
            break;
        case 16:
            convert<2>(in, n, order_, bytes_.data());
            break;
        case 24:
            convert<3>(in, n, order_, bytes_.data());
            break;
        default:
            convert<4>(in, n, order_, bytes_.data());
            break;
        }
        put(bytes_.data(), bytes_.size());
        dataBytes_ += bytes_.size();
        done += n;
    }
}

void WavEncoder::finish() {
    if (!open_)
        return;
    // Closed whatever happens below.
    open_ = false;
    if (dataBytes_ & 1) {
        const unsigned char pad = 0;
        put(&pad, 1);
    }
    // The final sizes, and the RF64 form past 4 GiB.
    rewriteHeader(header(dataBytes_));
    if (file_) {
        OutputFile file = std::move(*file_);
        file_.reset();
        file.close();
    }
}
