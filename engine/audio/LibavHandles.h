#pragma once

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/vorbis_parser.h>
#include <libavformat/avformat.h>
#include <libswresample/swresample.h>
}

#include <memory>

// Owners for libav's C handles, each released by the call made for it, so no
// path out of a function can leak one.
struct LibavFormatCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
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
using LibavCodec = std::unique_ptr<AVCodecContext, LibavCodecFreer>;
using LibavPacket = std::unique_ptr<AVPacket, LibavPacketFreer>;
using LibavFrame = std::unique_ptr<AVFrame, LibavFrameFreer>;
using LibavSwr = std::unique_ptr<SwrContext, LibavSwrFreer>;
using LibavVorbisParse = std::unique_ptr<AVVorbisParseContext, LibavVorbisParseFreer>;
