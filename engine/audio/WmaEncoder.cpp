#include "engine/audio/WmaEncoder.h"

#include "engine/audio/LibavHandles.h"
#include "platform/Error.h"

#include <QFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/error.h>
}

#include <algorithm>

namespace {

QString ffmpegError(int code) {
    char text[AV_ERROR_MAX_STRING_SIZE] = {};
    av_strerror(code, text, sizeof text);
    return QString::fromUtf8(text);
}

} // namespace

void WmaEncoder::FormatCloser::operator()(AVFormatContext* context) const {
    if (context->pb)
        avio_closep(&context->pb);
    avformat_free_context(context);
}

void WmaEncoder::CodecCloser::operator()(AVCodecContext* context) const {
    avcodec_free_context(&context);
}

void WmaEncoder::FrameCloser::operator()(AVFrame* frame) const {
    av_frame_free(&frame);
}

void WmaEncoder::PacketCloser::operator()(AVPacket* packet) const {
    av_packet_free(&packet);
}

void WmaEncoder::fail(const char* what, int code) const {
    throw Error(QStringLiteral("Cannot %1 %2: %3")
                    .arg(QString::fromLatin1(what), path_, ffmpegError(code)));
}

WmaEncoder::WmaEncoder(const QString& path, int rate, int channels, int kbps)
    : path_(path), rate_(rate), channels_(channels) {
    const AVCodec* encoder = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    if (!encoder)
        throw Error(QStringLiteral("Cannot create %1: no WMA encoder is available").arg(path));

    // Open the encoder before the file, so refused settings leave no file.
    codec_.reset(avcodec_alloc_context3(encoder));
    if (!codec_)
        fail("create", AVERROR(ENOMEM));
    codec_->sample_fmt = AV_SAMPLE_FMT_FLTP;
    codec_->sample_rate = rate;
    av_channel_layout_default(&codec_->ch_layout, channels);
    codec_->bit_rate = static_cast<int64_t>(kbps) * 1000;
    codec_->time_base = AVRational{1, rate};

    AVFormatContext* rawFormat = nullptr;
    const QByteArray name = QFile::encodeName(path);
    int result = avformat_alloc_output_context2(&rawFormat, nullptr, "asf", name.constData());
    if (result < 0 || !rawFormat)
        fail("create", result < 0 ? result : AVERROR(ENOMEM));
    format_.reset(rawFormat);
    if (format_->oformat->flags & AVFMT_GLOBALHEADER)
        codec_->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;

    result = avcodec_open2(codec_.get(), encoder, nullptr);
    if (result < 0)
        throw Error(QStringLiteral("Cannot create %1: the WMA encoder cannot encode %2 Hz, %3 "
                                   "channels at %4 kbps")
                        .arg(path)
                        .arg(rate)
                        .arg(channels)
                        .arg(kbps));
    frameSize_ = codec_->frame_size > 0 ? static_cast<std::size_t>(codec_->frame_size) : 2048;

    AVStream* stream = avformat_new_stream(format_.get(), nullptr);
    if (!stream)
        fail("create", AVERROR(ENOMEM));
    stream->time_base = codec_->time_base;
    result = avcodec_parameters_from_context(stream->codecpar, codec_.get());
    if (result < 0)
        fail("create", result);

    // Without it the file header says the file was made in 1970; "now" is
    // the moment the header is written.
    av_dict_set(&format_->metadata, "creation_time", "now", 0);
    result = avio_open(&format_->pb, name.constData(), AVIO_FLAG_WRITE);
    if (result < 0)
        fail("create", result);
    result = avformat_write_header(format_.get(), nullptr);
    if (result < 0)
        fail("create", result);

    frame_.reset(av_frame_alloc());
    packet_.reset(av_packet_alloc());
    if (!frame_ || !packet_)
        fail("create", AVERROR(ENOMEM));
    // The frame decoders swallow.
    pending_.assign(frameSize_ * static_cast<std::size_t>(channels_), 0.0f);
}

WmaEncoder::~WmaEncoder() = default;

void WmaEncoder::write(const float* interleaved, std::size_t frames) {
    if (finished_)
        return;
    audio_ = audio_ || frames > 0;
    pending_.insert(pending_.end(), interleaved,
                    interleaved + frames * static_cast<std::size_t>(channels_));
    const std::size_t whole = pending_.size() / static_cast<std::size_t>(channels_) / frameSize_;
    if (whole > 0)
        encode(whole * frameSize_);
}

void WmaEncoder::encode(std::size_t frames) {
    const auto channels = static_cast<std::size_t>(channels_);
    std::size_t done = 0;
    while (done < frames) {
        const std::size_t n = std::min(frameSize_, frames - done);
        const int result = LibavPlanarFrame(frame_.get(), codec_.get(), rate_,
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

void WmaEncoder::send(AVFrame* frame) {
    const int result = LibavEncodeInto(codec_.get(), format_.get(), packet_.get(), frame);
    if (result < 0)
        fail("write", result);
}

void WmaEncoder::finish() {
    if (finished_)
        return;
    finished_ = true;
    // Silence alone is no piece.
    if (!audio_)
        pending_.clear();
    if (!pending_.empty())
        encode(pending_.size() / static_cast<std::size_t>(channels_));
    send(nullptr);
    int result = av_write_trailer(format_.get());
    if (result < 0)
        fail("complete", result);
    result = avio_closep(&format_->pb);
    if (result < 0)
        fail("complete", result);
}
