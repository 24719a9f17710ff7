#include "engine/audio/FlacEncoder.h"

#include "engine/audio/ChannelOrder.h"
#include "platform/Error.h"

#include <FLAC/stream_encoder.h>

#include <algorithm>
#include <cmath>
#include <cstdint>

namespace {

// "fLaC", the block header, then the 34 bytes of STREAMINFO.
constexpr std::size_t kStreamInfoAt = 8;
constexpr std::size_t kHeadBytes = kStreamInfoAt + 34;
constexpr std::size_t kBlockFrames = 4096;

// STREAMINFO as FLAC stores it, big-endian bit fields.
class BitPacker {
public:
    explicit BitPacker(unsigned char* out) : out_(out) {}
    void put(std::uint64_t value, int bits) {
        for (int b = bits - 1; b >= 0; --b) {
            const std::size_t byte = at_ / 8;
            const auto mask = static_cast<unsigned char>(0x80u >> (at_ % 8));
            if ((value >> b) & 1u)
                out_[byte] = static_cast<unsigned char>(out_[byte] | mask);
            else
                out_[byte] = static_cast<unsigned char>(out_[byte] & ~mask);
            ++at_;
        }
    }

private:
    unsigned char* out_;
    std::size_t at_ = 0;
};

void packStreamInfo(const FLAC__StreamMetadata_StreamInfo& info, unsigned char* out) {
    BitPacker bits(out);
    bits.put(info.min_blocksize, 16);
    bits.put(info.max_blocksize, 16);
    bits.put(info.min_framesize, 24);
    bits.put(info.max_framesize, 24);
    bits.put(info.sample_rate, 20);
    bits.put(info.channels - 1, 3);
    bits.put(info.bits_per_sample - 1, 5);
    bits.put(info.total_samples, 36);
    for (unsigned char byte : info.md5sum)
        bits.put(byte, 8);
}

} // namespace

// libFLAC calls back into C functions; these hand over to the encoder object.
struct FlacCallbacks {
    static FLAC__StreamEncoderWriteStatus write(const FLAC__StreamEncoder*,
                                                const FLAC__byte buffer[], std::size_t bytes,
                                                std::uint32_t, std::uint32_t, void* self) {
        return static_cast<FlacEncoder*>(self)->take(buffer, bytes)
                   ? FLAC__STREAM_ENCODER_WRITE_STATUS_OK
                   : FLAC__STREAM_ENCODER_WRITE_STATUS_FATAL_ERROR;
    }
    // The stream is complete: its length and checksum go into the
    // STREAMINFO written at the start, which libFLAC cannot seek back to.
    static void metadata(const FLAC__StreamEncoder*, const FLAC__StreamMetadata* metadata,
                         void* self) {
        auto& encoder = *static_cast<FlacEncoder*>(self);
        if (metadata->type != FLAC__METADATA_TYPE_STREAMINFO || encoder.head_.size() < kHeadBytes ||
            !encoder.writeError_.isEmpty())
            return;
        packStreamInfo(metadata->data.stream_info, encoder.head_.data() + kStreamInfoAt);
        try {
            encoder.file_->rewriteStart(encoder.head_.data(), kHeadBytes);
        } catch (const Error& e) {
            encoder.writeError_ = e.message();
        }
    }
};

struct FlacEncoder::Stream {
    FLAC__StreamEncoder* encoder = FLAC__stream_encoder_new();
    Stream() = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;
    ~Stream() {
        if (encoder)
            FLAC__stream_encoder_delete(encoder);
    }
};

int FlacEncoder::outputBits(int sourceBits) {
    // libFLAC takes up to 32 bits, but the samples pass through floats,
    // which hold 24 exactly.
    return sourceBits <= 0 ? 16 : std::clamp(sourceBits, 8, 24);
}

FlacEncoder::FlacEncoder(const QString& path, const Format& format)
    : format_(format), path_(path), order_(ChannelOrder::Map(ChannelOrder::Vorbis(format.channels),
                                                             ChannelOrder::Flac(format.channels))) {
    const bool valid = format.channels >= 1 && format.channels <= 8 && format.bits >= 8 &&
                       format.bits <= 24 && format.level >= 0 && format.level <= 8 &&
                       FLAC__format_sample_rate_is_valid(static_cast<unsigned>(format.rate));
    if (!valid)
        throw Error(QStringLiteral("Cannot create %1: FLAC cannot hold %2 Hz, %3 channels, %4 "
                                   "bits at level %5")
                        .arg(path)
                        .arg(format.rate)
                        .arg(format.channels)
                        .arg(format.bits)
                        .arg(format.level));
    encoder_ = std::make_unique<Stream>();
    if (!encoder_->encoder)
        throw Error(QStringLiteral("Cannot create %1: out of memory").arg(path));
    FLAC__StreamEncoder* e = encoder_->encoder;
    const auto rate = static_cast<unsigned>(format.rate);
    FLAC__stream_encoder_set_channels(e, static_cast<unsigned>(format.channels));
    FLAC__stream_encoder_set_bits_per_sample(e, static_cast<unsigned>(format.bits));
    FLAC__stream_encoder_set_sample_rate(e, rate);
    FLAC__stream_encoder_set_compression_level(e, static_cast<unsigned>(format.level));
    // Rates outside the subset still make valid files that every decoder reads.
    FLAC__stream_encoder_set_streamable_subset(e, FLAC__format_sample_rate_is_subset(rate));
    file_.emplace(path);
    const FLAC__StreamEncoderInitStatus status = FLAC__stream_encoder_init_stream(
        e, FlacCallbacks::write, nullptr, nullptr, FlacCallbacks::metadata, this);
    if (status != FLAC__STREAM_ENCODER_INIT_STATUS_OK)
        throw Error(
            QStringLiteral("Cannot create %1: the FLAC encoder could not start (%2)")
                .arg(path, QString::fromLatin1(FLAC__StreamEncoderInitStatusString[status])));
    if (!writeError_.isEmpty())
        throw Error(writeError_);
}

FlacEncoder::~FlacEncoder() = default;

bool FlacEncoder::take(const unsigned char* data, std::size_t size) {
    if (!writeError_.isEmpty())
        return false;
    if (head_.size() < kHeadBytes)
        head_.insert(head_.end(), data, data + std::min(size, kHeadBytes - head_.size()));
    try {
        file_->write(data, size);
    } catch (const Error& e) {
        writeError_ = e.message();
        return false;
    }
    return true;
}

void FlacEncoder::fail(const QString& what) const {
    if (!writeError_.isEmpty())
        throw Error(writeError_);
    throw Error(QStringLiteral("Cannot %1 %2: %3")
                    .arg(what, path_,
                         QString::fromLatin1(
                             FLAC__stream_encoder_get_resolved_state_string(encoder_->encoder))));
}

void FlacEncoder::write(const float* interleaved, std::size_t frames) {
    if (!file_)
        return;
    const auto channels = static_cast<std::size_t>(format_.channels);
    const double scale = std::ldexp(1.0, format_.bits - 1);
    const double low = -scale;
    const double high = scale - 1;
    for (std::size_t done = 0; done < frames;) {
        const std::size_t n = std::min(kBlockFrames, frames - done);
        block_.resize(n * channels);
        const float* in = interleaved + done * channels;
        // Exact for samples that came from integers of this depth; overs
        // are clipped, never wrapped, and what is no number is silence.
        for (std::size_t f = 0; f < n; ++f)
            for (std::size_t c = 0; c < channels; ++c) {
                const float x = in[f * channels + static_cast<std::size_t>(order_[c])];
                const double v = std::isfinite(x) ? x * scale : 0.0;
                block_[f * channels + c] =
                    static_cast<int>(std::nearbyint(std::clamp(v, low, high)));
            }
        if (!FLAC__stream_encoder_process_interleaved(encoder_->encoder, block_.data(),
                                                      static_cast<unsigned>(n)))
            fail(QStringLiteral("write"));
        done += n;
    }
}

void FlacEncoder::finish() {
    if (!file_)
        return;
    const bool finished = FLAC__stream_encoder_finish(encoder_->encoder) != 0;
    if (!finished || !writeError_.isEmpty())
        fail(QStringLiteral("complete"));
    OutputFile file = std::move(*file_);
    file_.reset();
    file.close();
}
