#include "engine/audio/LibavLibraries.h"

#include "platform/Error.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavcodec/vorbis_parser.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/dict.h>
#include <libavutil/error.h>
#include <libavutil/frame.h>
#include <libavutil/log.h>
#include <libavutil/mathematics.h>
#include <libavutil/mem.h>
#include <libavutil/opt.h>
#include <libavutil/samplefmt.h>
#include <libswresample/swresample.h>
}

#include <QString>

#include <dlfcn.h>

namespace {

// The libraries the program was built against, by their sonames.
constexpr std::array<const char*, LibavLibraries::Count> Names{
    "libavutil.so." AV_STRINGIFY(LIBAVUTIL_VERSION_MAJOR),
    "libswresample.so." AV_STRINGIFY(LIBSWRESAMPLE_VERSION_MAJOR),
    "libavcodec.so." AV_STRINGIFY(LIBAVCODEC_VERSION_MAJOR),
    "libavformat.so." AV_STRINGIFY(LIBAVFORMAT_VERSION_MAJOR)};

} // namespace

void LibavLibraries::Closer::operator()(void* handle) const {
    dlclose(handle);
}

LibavLibraries::LibavLibraries() {
    for (std::size_t i = 0; i < handles_.size(); ++i) {
        // Never unmapped: a thread still decoding at exit keeps its code.
        handles_[i].reset(dlopen(Names[i], RTLD_NOW | RTLD_LOCAL | RTLD_NODELETE));
        if (!handles_[i])
            throw Error(QStringLiteral("Cannot load FFmpeg's %1: %2")
                            .arg(QString::fromLatin1(Names[i]), QString::fromLocal8Bit(dlerror())));
    }
}

LibavLibraries& LibavLibraries::Instance() {
    static LibavLibraries libraries;
    return libraries;
}

void* LibavLibraries::Function(Library library, const char* name) {
    // Looked up in that library and those it loaded, never in the program,
    // whose function of the same name is the one calling.
    void* function = dlsym(Instance().handles_[library].get(), name);
    if (!function)
        throw Error(QStringLiteral("Cannot load FFmpeg's %1: it lacks %2")
                        .arg(QString::fromLatin1(Names[library]), QString::fromLatin1(name)));
    return function;
}

// The libav functions the program calls, each passing the call on to the
// library's own, found on its first call.
#define LIBAV_REAL(library, name)                                                                  \
    ([] {                                                                                          \
        static const auto real = reinterpret_cast<decltype(&::name)>(                              \
            LibavLibraries::Function(LibavLibraries::library, #name));                             \
        return real;                                                                               \
    }())

extern "C" {

enum AVChannel av_channel_layout_channel_from_index(const AVChannelLayout* a0, unsigned int a1) {
    return LIBAV_REAL(Util, av_channel_layout_channel_from_index)(a0, a1);
}
int av_channel_layout_copy(AVChannelLayout* a0, const AVChannelLayout* a1) {
    return LIBAV_REAL(Util, av_channel_layout_copy)(a0, a1);
}
void av_channel_layout_default(AVChannelLayout* a0, int a1) {
    return LIBAV_REAL(Util, av_channel_layout_default)(a0, a1);
}
int av_channel_layout_from_mask(AVChannelLayout* a0, uint64_t a1) {
    return LIBAV_REAL(Util, av_channel_layout_from_mask)(a0, a1);
}
void av_channel_layout_uninit(AVChannelLayout* a0) {
    return LIBAV_REAL(Util, av_channel_layout_uninit)(a0);
}
void av_dict_free(AVDictionary** a0) {
    return LIBAV_REAL(Util, av_dict_free)(a0);
}
AVDictionaryEntry* av_dict_get(const AVDictionary* a0, const char* a1, const AVDictionaryEntry* a2,
                               int a3) {
    return LIBAV_REAL(Util, av_dict_get)(a0, a1, a2, a3);
}
int av_dict_set(AVDictionary** a0, const char* a1, const char* a2, int a3) {
    return LIBAV_REAL(Util, av_dict_set)(a0, a1, a2, a3);
}
AVFrame* av_frame_alloc() {
    return LIBAV_REAL(Util, av_frame_alloc)();
}
void av_frame_free(AVFrame** a0) {
    return LIBAV_REAL(Util, av_frame_free)(a0);
}
int av_frame_get_buffer(AVFrame* a0, int a1) {
    return LIBAV_REAL(Util, av_frame_get_buffer)(a0, a1);
}
AVFrameSideData* av_frame_get_side_data(const AVFrame* a0, enum AVFrameSideDataType a1) {
    return LIBAV_REAL(Util, av_frame_get_side_data)(a0, a1);
}
void av_frame_unref(AVFrame* a0) {
    return LIBAV_REAL(Util, av_frame_unref)(a0);
}
int av_get_bytes_per_sample(enum AVSampleFormat a0) {
    return LIBAV_REAL(Util, av_get_bytes_per_sample)(a0);
}
void av_log_set_level(int a0) {
    return LIBAV_REAL(Util, av_log_set_level)(a0);
}
void* av_mallocz(size_t a0) {
    return LIBAV_REAL(Util, av_mallocz)(a0);
}
void av_max_alloc(size_t a0) {
    return LIBAV_REAL(Util, av_max_alloc)(a0);
}
int av_opt_set_int(void* a0, const char* a1, int64_t a2, int a3) {
    return LIBAV_REAL(Util, av_opt_set_int)(a0, a1, a2, a3);
}
int64_t av_rescale(int64_t a0, int64_t a1, int64_t a2) {
    return LIBAV_REAL(Util, av_rescale)(a0, a1, a2);
}
int64_t av_rescale_q(int64_t a0, AVRational a1, AVRational a2) {
    return LIBAV_REAL(Util, av_rescale_q)(a0, a1, a2);
}
int64_t av_rescale_q_rnd(int64_t a0, AVRational a1, AVRational a2, enum AVRounding a3) {
    return LIBAV_REAL(Util, av_rescale_q_rnd)(a0, a1, a2, a3);
}
int av_strerror(int a0, char* a1, size_t a2) {
    return LIBAV_REAL(Util, av_strerror)(a0, a1, a2);
}
int swr_alloc_set_opts2(struct SwrContext** a0, AVChannelLayout* a1, enum AVSampleFormat a2, int a3,
                        AVChannelLayout* a4, enum AVSampleFormat a5, int a6, int a7, void* a8) {
    return LIBAV_REAL(Resample, swr_alloc_set_opts2)(a0, a1, a2, a3, a4, a5, a6, a7, a8);
}
int swr_convert(struct SwrContext* a0, uint8_t** a1, int a2, const uint8_t** a3, int a4) {
    return LIBAV_REAL(Resample, swr_convert)(a0, a1, a2, a3, a4);
}
void swr_free(struct SwrContext** a0) {
    return LIBAV_REAL(Resample, swr_free)(a0);
}
int swr_init(struct SwrContext* a0) {
    return LIBAV_REAL(Resample, swr_init)(a0);
}
int av_get_audio_frame_duration2(AVCodecParameters* a0, int a1) {
    return LIBAV_REAL(Codec, av_get_audio_frame_duration2)(a0, a1);
}
int av_new_packet(AVPacket* a0, int a1) {
    return LIBAV_REAL(Codec, av_new_packet)(a0, a1);
}
AVPacket* av_packet_alloc() {
    return LIBAV_REAL(Codec, av_packet_alloc)();
}
void av_packet_free(AVPacket** a0) {
    return LIBAV_REAL(Codec, av_packet_free)(a0);
}
uint8_t* av_packet_get_side_data(const AVPacket* a0, enum AVPacketSideDataType a1, size_t* a2) {
    return LIBAV_REAL(Codec, av_packet_get_side_data)(a0, a1, a2);
}
void av_packet_rescale_ts(AVPacket* a0, AVRational a1, AVRational a2) {
    return LIBAV_REAL(Codec, av_packet_rescale_ts)(a0, a1, a2);
}
void av_packet_unref(AVPacket* a0) {
    return LIBAV_REAL(Codec, av_packet_unref)(a0);
}
int av_vorbis_parse_frame(AVVorbisParseContext* a0, const uint8_t* a1, int a2) {
    return LIBAV_REAL(Codec, av_vorbis_parse_frame)(a0, a1, a2);
}
void av_vorbis_parse_free(AVVorbisParseContext** a0) {
    return LIBAV_REAL(Codec, av_vorbis_parse_free)(a0);
}
AVVorbisParseContext* av_vorbis_parse_init(const uint8_t* a0, int a1) {
    return LIBAV_REAL(Codec, av_vorbis_parse_init)(a0, a1);
}
AVCodecContext* avcodec_alloc_context3(const AVCodec* a0) {
    return LIBAV_REAL(Codec, avcodec_alloc_context3)(a0);
}
const AVCodecDescriptor* avcodec_descriptor_get(enum AVCodecID a0) {
    return LIBAV_REAL(Codec, avcodec_descriptor_get)(a0);
}
const AVCodec* avcodec_find_decoder(enum AVCodecID a0) {
    return LIBAV_REAL(Codec, avcodec_find_decoder)(a0);
}
const AVCodec* avcodec_find_encoder(enum AVCodecID a0) {
    return LIBAV_REAL(Codec, avcodec_find_encoder)(a0);
}
const AVCodec* avcodec_find_encoder_by_name(const char* a0) {
    return LIBAV_REAL(Codec, avcodec_find_encoder_by_name)(a0);
}
void avcodec_flush_buffers(AVCodecContext* a0) {
    return LIBAV_REAL(Codec, avcodec_flush_buffers)(a0);
}
void avcodec_free_context(AVCodecContext** a0) {
    return LIBAV_REAL(Codec, avcodec_free_context)(a0);
}
const char* avcodec_get_name(enum AVCodecID a0) {
    return LIBAV_REAL(Codec, avcodec_get_name)(a0);
}
int avcodec_open2(AVCodecContext* a0, const AVCodec* a1, AVDictionary** a2) {
    return LIBAV_REAL(Codec, avcodec_open2)(a0, a1, a2);
}
AVCodecParameters* avcodec_parameters_alloc() {
    return LIBAV_REAL(Codec, avcodec_parameters_alloc)();
}
void avcodec_parameters_free(AVCodecParameters** a0) {
    return LIBAV_REAL(Codec, avcodec_parameters_free)(a0);
}
int avcodec_parameters_from_context(AVCodecParameters* a0, const AVCodecContext* a1) {
    return LIBAV_REAL(Codec, avcodec_parameters_from_context)(a0, a1);
}
int avcodec_parameters_to_context(AVCodecContext* a0, const AVCodecParameters* a1) {
    return LIBAV_REAL(Codec, avcodec_parameters_to_context)(a0, a1);
}
int avcodec_receive_frame(AVCodecContext* a0, AVFrame* a1) {
    return LIBAV_REAL(Codec, avcodec_receive_frame)(a0, a1);
}
int avcodec_receive_packet(AVCodecContext* a0, AVPacket* a1) {
    return LIBAV_REAL(Codec, avcodec_receive_packet)(a0, a1);
}
int avcodec_send_frame(AVCodecContext* a0, const AVFrame* a1) {
    return LIBAV_REAL(Codec, avcodec_send_frame)(a0, a1);
}
int avcodec_send_packet(AVCodecContext* a0, const AVPacket* a1) {
    return LIBAV_REAL(Codec, avcodec_send_packet)(a0, a1);
}
int av_find_best_stream(AVFormatContext* a0, enum AVMediaType a1, int a2, int a3,
                        const AVCodec** a4, int a5) {
    return LIBAV_REAL(Format, av_find_best_stream)(a0, a1, a2, a3, a4, a5);
}
int av_interleaved_write_frame(AVFormatContext* a0, AVPacket* a1) {
    return LIBAV_REAL(Format, av_interleaved_write_frame)(a0, a1);
}
const AVInputFormat* av_probe_input_format3(const AVProbeData* a0, int a1, int* a2) {
    return LIBAV_REAL(Format, av_probe_input_format3)(a0, a1, a2);
}
int av_read_frame(AVFormatContext* a0, AVPacket* a1) {
    return LIBAV_REAL(Format, av_read_frame)(a0, a1);
}
int av_seek_frame(AVFormatContext* a0, int a1, int64_t a2, int a3) {
    return LIBAV_REAL(Format, av_seek_frame)(a0, a1, a2, a3);
}
int av_write_trailer(AVFormatContext* a0) {
    return LIBAV_REAL(Format, av_write_trailer)(a0);
}
int avformat_alloc_output_context2(AVFormatContext** a0, const AVOutputFormat* a1, const char* a2,
                                   const char* a3) {
    return LIBAV_REAL(Format, avformat_alloc_output_context2)(a0, a1, a2, a3);
}
void avformat_close_input(AVFormatContext** a0) {
    return LIBAV_REAL(Format, avformat_close_input)(a0);
}
int avformat_find_stream_info(AVFormatContext* a0, AVDictionary** a1) {
    return LIBAV_REAL(Format, avformat_find_stream_info)(a0, a1);
}
void avformat_free_context(AVFormatContext* a0) {
    return LIBAV_REAL(Format, avformat_free_context)(a0);
}
AVStream* avformat_new_stream(AVFormatContext* a0, const AVCodec* a1) {
    return LIBAV_REAL(Format, avformat_new_stream)(a0, a1);
}
int avformat_open_input(AVFormatContext** a0, const char* a1, const AVInputFormat* a2,
                        AVDictionary** a3) {
    return LIBAV_REAL(Format, avformat_open_input)(a0, a1, a2, a3);
}
int avformat_write_header(AVFormatContext* a0, AVDictionary** a1) {
    return LIBAV_REAL(Format, avformat_write_header)(a0, a1);
}
int avio_closep(AVIOContext** a0) {
    return LIBAV_REAL(Format, avio_closep)(a0);
}
int avio_open(AVIOContext** a0, const char* a1, int a2) {
    return LIBAV_REAL(Format, avio_open)(a0, a1, a2);
}

} // extern "C"
