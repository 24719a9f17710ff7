#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/vorbis_parser.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <cstddef>
#include <memory>

// Owners for libav's C handles, each released by the call made for it, so no
// path out of a function can leak one.
struct LibavFormatCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct LibavCodecParametersFreer {
    void operator()(AVCodecParameters* p) const { avcodec_parameters_free(&p); }
};
struct LibavCodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct LibavPacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct LibavFrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};
struct LibavSwrFreer {
    void operator()(SwrContext* s) const { swr_free(&s); }
};

struct LibavVorbisParseFreer {
    void operator()(AVVorbisParseContext* p) const { av_vorbis_parse_free(&p); }
};

using LibavFormat = std::unique_ptr<AVFormatContext, LibavFormatCloser>;
using LibavCodecParameters = std::unique_ptr<AVCodecParameters, LibavCodecParametersFreer>;
using LibavCodec = std::unique_ptr<AVCodecContext, LibavCodecFreer>;
using LibavPacket = std::unique_ptr<AVPacket, LibavPacketFreer>;
using LibavFrame = std::unique_ptr<AVFrame, LibavFrameFreer>;
using LibavSwr = std::unique_ptr<SwrContext, LibavSwrFreer>;
using LibavVorbisParse = std::unique_ptr<AVVorbisParseContext, LibavVorbisParseFreer>;

// The demuxers of the formats the program reads, and no other: a file is
// never handed to a playlist, a concatenation list or an image sequence,
// whose contents would name other files to read.
inline constexpr const char* LibavAudioDemuxers =
    "aac,ac3,aiff,ape,asf,au,caf,dsf,dts,eac3,flac,matroska,webm,mov,mp4,m4a,mp3,mpc,mpc8,ogg,"
    "shn,tta,w64,wav,wv";

// Opens a local file for reading with those demuxers and the file protocol
// alone; what avformat_open_input returns.
inline int LibavOpenLocal(AVFormatContext** context, const char* path) {
    // A damaged header can make a demuxer ask for gigabytes at once; no real
    // audio file needs more than this in one piece, so such a file fails to
    // open instead of taking the machine's memory. The libraries' own log
    // lines stay out of the program's output: a failure is told with its
    // reason by the caller.
    static const bool set =
        (av_max_alloc(std::size_t{512} << 20), av_log_set_level(AV_LOG_QUIET), true);
    (void)set;
    AVDictionary* options = nullptr;
    av_dict_set(&options, "protocol_whitelist", "file", 0);
    av_dict_set(&options, "format_whitelist", LibavAudioDemuxers, 0);
    const int result = avformat_open_input(context, path, nullptr, &options);
    av_dict_free(&options);
    return result;
}

// Sets `frame` up as `frames` planar float frames in the encoder's layout at
// `rate` and fills it from interleaved samples; what the first failing call
// returned, else 0.
inline int LibavPlanarFrame(AVFrame* frame, const AVCodecContext* codec, int rate,
                            const float* interleaved, std::size_t frames, std::size_t channels) {
    av_frame_unref(frame);
    frame->format = AV_SAMPLE_FMT_FLTP;
    frame->sample_rate = rate;
    frame->nb_samples = static_cast<int>(frames);
    int result = av_channel_layout_copy(&frame->ch_layout, &codec->ch_layout);
    if (result < 0)
        return result;
    result = av_frame_get_buffer(frame, 0);
    if (result < 0)
        return result;
    for (std::size_t c = 0; c < channels; ++c) {
        auto* plane = reinterpret_cast<float*>(frame->extended_data[c]);
        for (std::size_t f = 0; f < frames; ++f)
            plane[f] = interleaved[f * channels + c];
    }
    return 0;
}

// Sends `frame` (nullptr drains) to the encoder and writes every packet it
// gives into the first stream of `output`; what the first failing call
// returned, else 0.
inline int LibavEncodeInto(AVCodecContext* codec, AVFormatContext* output, AVPacket* packet,
                           const AVFrame* frame) {
    int result = avcodec_send_frame(codec, frame);
    if (result < 0)
        return result;
    for (;;) {
        result = avcodec_receive_packet(codec, packet);
        if (result == AVERROR(EAGAIN) || result == AVERROR_EOF)
            return 0;
        if (result < 0)
            return result;
        av_packet_rescale_ts(packet, codec->time_base, output->streams[0]->time_base);
        packet->stream_index = 0;
        result = av_interleaved_write_frame(output, packet);
        if (result < 0)
            return result;
    }
}
