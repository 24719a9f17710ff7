#include "engine/audio/M4aEncoder.h"

#include "engine/audio/ChannelOrder.h"
#include "engine/audio/LibavHandles.h"
#include "platform/Error.h"

#include <QFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
#include <libavutil/log.h>
#include <libavutil/opt.h>
}

#include <algorithm>
#include <array>

namespace {

QString ffmpegError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

// The rates AAC has sampling frequency indexes for, ascending.
constexpr std::array<int, 12> AacRates{8000,  11025, 12000, 16000, 22050, 24000,
                                       32000, 44100, 48000, 64000, 88200, 96000};

std::uint64_t speakerMask(ChannelOrder::Speaker speaker) {
    switch (speaker) {
    case ChannelOrder::FrontLeft:
        return AV_CH_FRONT_LEFT;
    case ChannelOrder::FrontRight:
        return AV_CH_FRONT_RIGHT;
    case ChannelOrder::FrontCenter:
        return AV_CH_FRONT_CENTER;
    case ChannelOrder::Lfe:
        return AV_CH_LOW_FREQUENCY;
    case ChannelOrder::BackLeft:
        return AV_CH_BACK_LEFT;
    case ChannelOrder::BackRight:
        return AV_CH_BACK_RIGHT;
    case ChannelOrder::BackCenter:
        return AV_CH_BACK_CENTER;
    case ChannelOrder::SideLeft:
        return AV_CH_SIDE_LEFT;
    case ChannelOrder::SideRight:
        return AV_CH_SIDE_RIGHT;
    case ChannelOrder::Other:
        break;
    }
    return 0;
}

// The layout of `channels` speakers in FFmpeg's order, the order of their
// mask bits: WAV's.
void setLayout(AVChannelLayout& layout, int channels) {
    if (channels <= 2) {
        av_channel_layout_default(&layout, channels);
        return;
    }
    std::uint64_t mask = 0;
    for (const ChannelOrder::Speaker speaker : ChannelOrder::Wav(channels))
        mask |= speakerMask(speaker);
    if (av_popcount64(mask) != channels || av_channel_layout_from_mask(&layout, mask) < 0)
        av_channel_layout_default(&layout, channels);
}

} // namespace

void M4aEncoder::FormatCloser::operator()(AVFormatContext* context) const {
    if (context->pb)
        avio_closep(&context->pb);
    avformat_free_context(context);
}

void M4aEncoder::CodecCloser::operator()(AVCodecContext* context) const {
    avcodec_free_context(&context);
}

void M4aEncoder::FrameCloser::operator()(AVFrame* frame) const {
    av_frame_free(&frame);
}

void M4aEncoder::PacketCloser::operator()(AVPacket* packet) const {
    av_packet_free(&packet);
}

int M4aEncoder::RateFor(int rate) {
    const auto* found = std::lower_bound(AacRates.begin(), AacRates.end(), rate);
    return found == AacRates.end() ? AacRates.back() : *found;
}

void M4aEncoder::fail(const char* what, int code) const {
    throw Error(QStringLiteral("Cannot %1 %2: %3")
                    .arg(QString::fromLatin1(what), path_, ffmpegError(code)));
}

M4aEncoder::M4aEncoder(const QString& path, const Format& format, std::vector<int> order)
    : path_(path), format_(format), order_(std::move(order)) {
    if (format.channels < 1 || format.channels > 8 ||
        std::find(AacRates.begin(), AacRates.end(), format.rate) == AacRates.end() ||
        (!format.vbr && (format.kbps < 8 || format.kbps > 512)))
        throw Error(QStringLiteral("Cannot create %1: AAC cannot encode %2 channels at %3 Hz, "
                                   "%4 kbps")
                        .arg(path)
                        .arg(format.channels)
                        .arg(format.rate)
                        .arg(format.kbps));
    if (ChannelOrder::IsIdentity(order_) || order_.size() != std::size_t(format.channels))
        order_.clear();
    // The encoder's own statistics stay out of the program's output; a
    // failure is told with its reason.
    av_log_set_level(AV_LOG_QUIET);
    const AVCodec* encoder = avcodec_find_encoder_by_name("aac");
    if (!encoder)
        throw Error(QStringLiteral("Cannot create %1: no AAC encoder is available").arg(path));

    // The encoder is opened before the file, so refused settings leave none.
    codec_.reset(avcodec_alloc_context3(encoder));
    if (!codec_)
        fail("create", AVERROR(ENOMEM));
    codec_->sample_fmt = AV_SAMPLE_FMT_FLTP;
    codec_->sample_rate = format.rate;
    setLayout(codec_->ch_layout, format.channels);
    codec_->time_base = AVRational{1, format.rate};
    if (format.vbr) {
        codec_->flags |= AV_CODEC_FLAG_QSCALE;
        codec_->global_quality =
            static_cast<int>(std::clamp(format.quality, 0.1, 2.0) * FF_QP2LAMBDA + 0.5);
    } else {
        codec_->bit_rate = static_cast<int64_t>(format.kbps) * 1000;
    }

    AVFormatContext* rawContainer = nullptr;
    const QByteArray name = QFile::encodeName(path);
    // One container whatever the extension: .m4b and .m4r are MP4 files too.
    int result = avformat_alloc_output_context2(&rawContainer, nullptr, "ipod", name.constData());
    if (result < 0 || !rawContainer)
        fail("create", result < 0 ? result : AVERROR(ENOMEM));
    container_.reset(rawContainer);
    codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    result = avcodec_open2(codec_.get(), encoder, nullptr);
    if (result < 0)
        throw Error(QStringLiteral("Cannot create %1: the AAC encoder cannot encode %2 Hz, %3 "
                                   "channels at %4 kbps")
                        .arg(path)
                        .arg(format.rate)
                        .arg(format.channels)
                        .arg(format.kbps));
    if (codec_->frame_size > 0)
        frameSize_ = static_cast<std::size_t>(codec_->frame_size);

    AVStream* stream = avformat_new_stream(container_.get(), nullptr);
    if (!stream)
        fail("create", AVERROR(ENOMEM));
    stream->time_base = codec_->time_base;
    result = avcodec_parameters_from_context(stream->codecpar, codec_.get());
    if (result < 0)
        fail("create", result);

    // Lengths in the edit list are then counted in frames, not rounded to
    // milliseconds.
    av_opt_set_int(container_->priv_data, "movie_timescale", format.rate, 0);
    result = avio_open(&container_->pb, name.constData(), AVIO_FLAG_WRITE);
    if (result < 0)
        fail("create", result);
    result = avformat_write_header(container_.get(), nullptr);
    if (result < 0)
        fail("create", result);

    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (!frame_ || !packet_)
        fail("create", AVERROR(ENOMEM));
}

M4aEncoder::~M4aEncoder() = default;

void M4aEncoder::expectFrames(std::int64_t frames) {
    if (started_ || frames <= 0)
        return;
    // Silence ahead of the audio, so that the audio ends on a frame; its
    // timestamps run before zero and the edit list skips them.
    const auto size = static_cast<std::int64_t>(frameSize_);
    const auto lead = static_cast<std::size_t>((size - frames % size) % size);
    pending_.assign(lead * static_cast<std::size_t>(format_.channels), 0.0f);
    nextPts_ = -static_cast<long long>(lead);
}

void M4aEncoder::write(const float* interleaved, std::size_t frames) {
    if (finished_)
        return;
    started_ = true;
    const auto channels = static_cast<std::size_t>(format_.channels);
    const std::size_t before = pending_.size();
    pending_.resize(before + frames * channels);
    float* out = pending_.data() + before;
    if (order_.empty())
        std::copy(interleaved, interleaved + frames * channels, out);
    else
        ChannelOrder::Apply(order_, interleaved, frames, out);
    const std::size_t whole = pending_.size() / channels / frameSize_;
    if (whole > 0)
        encode(whole * frameSize_);
}

void M4aEncoder::encode(std::size_t frames) {
    const auto channels = static_cast<std::size_t>(format_.channels);
    std::size_t done = 0;
    while (done < frames) {
        const std::size_t n = std::min(frameSize_, frames - done);
        const int result = LibavPlanarFrame(frame_.get(), codec_.get(), format_.rate,
                                            pending_.data() + done * channels, n, channels);
        if (result < 0)
            fail("write", result);
        frame_->pts = nextPts_;
        nextPts_ += static_cast<long long>(n);
        send(frame_.get());
        done += n;
    }
    pending_.erase(pending_.begin(),
                   pending_.begin() + static_cast<std::ptrdiff_t>(done * channels));
}

void M4aEncoder::send(AVFrame* frame) {
    const int result = LibavEncodeInto(codec_.get(), container_.get(), packet_.get(), frame);
    if (result < 0)
        fail("write", result);
}

void M4aEncoder::finish() {
    if (finished_)
        return;
    finished_ = true;
    // Lead silence with no audio after it is no piece.
    if (!started_)
        pending_.clear();
    if (!pending_.empty())
        encode(pending_.size() / static_cast<std::size_t>(format_.channels));
    send(nullptr);
    int result = av_write_trailer(container_.get());
    if (result < 0)
        fail("complete", result);
    result = avio_closep(&container_->pb);
    if (result < 0)
        fail("complete", result);
}
