#include "tests/tags/AsfFixture.h"

#include <QFile>

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
}

#include <cmath>
#include <memory>
#include <numbers>
#include <stdexcept>

namespace {

struct OutputCloser {
    void operator()(AVFormatContext* c) const {
        if (c->pb != nullptr)
            avio_closep(&c->pb);
        avformat_free_context(c);
    }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};

void check(int result, const char* what) {
    if (result < 0)
        throw std::runtime_error(std::string("FFmpeg: ") + what + " failed");
}

} // namespace

void writeWma(const QString& path, double seconds, int rate, int channels) {
    const QByteArray name = QFile::encodeName(path);
    AVFormatContext* raw = nullptr;
    check(avformat_alloc_output_context2(&raw, nullptr, "asf", name.constData()), "asf muxer");
    std::unique_ptr<AVFormatContext, OutputCloser> format(raw);
    const AVCodec* codec = avcodec_find_encoder(AV_CODEC_ID_WMAV2);
    if (codec == nullptr)
        throw std::runtime_error("FFmpeg has no wmav2 encoder");
    AVStream* stream = avformat_new_stream(format.get(), nullptr);
    std::unique_ptr<AVCodecContext, CodecFreer> context(avcodec_alloc_context3(codec));
    context->sample_fmt = AV_SAMPLE_FMT_FLTP;
    context->sample_rate = rate;
    av_channel_layout_default(&context->ch_layout, channels);
    context->bit_rate = 128000;
    context->time_base = AVRational{1, rate};
    if (format->oformat->flags & AVFMT_GLOBALHEADER)
        context->flags |= AV_CODEC_FLAG_GLOBAL_HEADER;
    check(avcodec_open2(context.get(), codec, nullptr), "wmav2 encoder");
    check(avcodec_parameters_from_context(stream->codecpar, context.get()), "parameters");
    stream->time_base = context->time_base;
    check(avio_open(&format->pb, name.constData(), AVIO_FLAG_WRITE), "open");
    check(avformat_write_header(format.get(), nullptr), "header");

    std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
    std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
    frame->nb_samples = context->frame_size;
    frame->format = context->sample_fmt;
    frame->sample_rate = rate;
    check(av_channel_layout_copy(&frame->ch_layout, &context->ch_layout), "layout");
    check(av_frame_get_buffer(frame.get(), 0), "frame");

    const auto drain = [&] {
        for (;;) {
            const int result = avcodec_receive_packet(context.get(), packet.get());
            if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
                return;
            check(result, "encode");
            av_packet_rescale_ts(packet.get(), context->time_base, stream->time_base);
            packet->stream_index = stream->index;
            check(av_interleaved_write_frame(format.get(), packet.get()), "write");
        }
    };
    const auto total = static_cast<long long>(std::llround(seconds * rate));
    for (long long done = 0; done < total; done += frame->nb_samples) {
        check(av_frame_make_writable(frame.get()), "writable");
        for (int i = 0; i < frame->nb_samples; ++i) {
            const double t = static_cast<double>(done + i) / rate;
            const auto v = static_cast<float>(0.5 * std::sin(2 * std::numbers::pi * 440.0 * t));
            for (int ch = 0; ch < channels; ++ch)
                reinterpret_cast<float*>(frame->data[ch])[i] = v;
        }
        frame->pts = done;
        check(avcodec_send_frame(context.get(), frame.get()), "send");
        drain();
    }
    check(avcodec_send_frame(context.get(), nullptr), "flush");
    drain();
    check(av_write_trailer(format.get()), "trailer");
}
