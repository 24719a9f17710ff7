#include "tests/support/FfmpegDecoder.h"

extern "C" {
#include <libavcodec/avcodec.h>
#include <libavformat/avformat.h>
#include <libavutil/channel_layout.h>
#include <libavutil/samplefmt.h>
}

#include <cmath>
#include <memory>
#include <stdexcept>

namespace {

struct FormatCloser {
    void operator()(AVFormatContext* c) const { avformat_close_input(&c); }
};
struct CodecFreer {
    void operator()(AVCodecContext* c) const { avcodec_free_context(&c); }
};
struct PacketFreer {
    void operator()(AVPacket* p) const { av_packet_free(&p); }
};
struct FrameFreer {
    void operator()(AVFrame* f) const { av_frame_free(&f); }
};

float sampleAt(const AVFrame& frame, AVSampleFormat fmt, int channels, int index, int ch) {
    const bool planar = av_sample_fmt_is_planar(fmt);
    const int plane = planar ? ch : 0;
    const int pos = planar ? index : index * channels + ch;
    const uint8_t* data = frame.extended_data[plane];
    switch (av_get_packed_sample_fmt(fmt)) {
    case AV_SAMPLE_FMT_U8:
        return (static_cast<int>(data[pos]) - 128) / 128.0f;
    case AV_SAMPLE_FMT_S16:
        return reinterpret_cast<const int16_t*>(data)[pos] / 32768.0f;
    case AV_SAMPLE_FMT_S32:
        return static_cast<float>(reinterpret_cast<const int32_t*>(data)[pos] / 2147483648.0);
    case AV_SAMPLE_FMT_FLT:
        return reinterpret_cast<const float*>(data)[pos];
    case AV_SAMPLE_FMT_DBL:
        return static_cast<float>(reinterpret_cast<const double*>(data)[pos]);
    default:
        throw std::runtime_error("unexpected sample format");
    }
}

QStringList speakerNames(const AVChannelLayout& layout) {
    QStringList names;
    for (int i = 0; i < layout.nb_channels; ++i) {
        const AVChannel channel = av_channel_layout_channel_from_index(&layout, i);
        char name[32] = "?";
        if (channel != AV_CHAN_NONE)
            av_channel_name(name, sizeof name, channel);
        names.append(QString::fromLatin1(name));
    }
    return names;
}

void drain(AVCodecContext* codec, AVFrame* frame, DecodedAudio& out) {
    while (avcodec_receive_frame(codec, frame) == 0) {
        const auto fmt = static_cast<AVSampleFormat>(frame->format);
        const int channels = frame->ch_layout.nb_channels;
        if (out.speakers.isEmpty())
            out.speakers = speakerNames(frame->ch_layout);
        for (int i = 0; i < frame->nb_samples; ++i)
            for (int ch = 0; ch < channels; ++ch)
                out.samples.push_back(sampleAt(*frame, fmt, channels, i, ch));
        av_frame_unref(frame);
    }
}

} // namespace

std::vector<float> DecodedAudio::channel(int index) const {
    std::vector<float> mono;
    if (channels <= 0)
        return mono;
    mono.reserve(samples.size() / static_cast<size_t>(channels));
    for (size_t i = static_cast<size_t>(index); i < samples.size();
         i += static_cast<size_t>(channels))
        mono.push_back(samples[i]);
    return mono;
}

DecodedAudio decodeWithFfmpeg(const QString& path) {
    const std::string name = path.toStdString();
    AVFormatContext* raw = nullptr;
    if (avformat_open_input(&raw, name.c_str(), nullptr, nullptr) < 0)
        throw std::runtime_error("ffmpeg cannot open " + name);
    std::unique_ptr<AVFormatContext, FormatCloser> format(raw);
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        throw std::runtime_error("ffmpeg finds no streams in " + name);
    const AVCodec* decoder = nullptr;
    const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, &decoder, 0);
    if (stream < 0 || !decoder)
        throw std::runtime_error("ffmpeg finds no audio in " + name);
    std::unique_ptr<AVCodecContext, CodecFreer> codec(avcodec_alloc_context3(decoder));
    avcodec_parameters_to_context(codec.get(), format->streams[stream]->codecpar);
    if (avcodec_open2(codec.get(), decoder, nullptr) < 0)
        throw std::runtime_error("ffmpeg cannot decode " + name);

    DecodedAudio out;
    out.codec = QString::fromLatin1(decoder->name);
    out.container = QString::fromLatin1(format->iformat->name);
    for (const AVDictionary* dictionary :
         {static_cast<const AVDictionary*>(format->metadata),
          static_cast<const AVDictionary*>(format->streams[stream]->metadata)}) {
        const AVDictionaryEntry* entry = nullptr;
        while ((entry = av_dict_get(dictionary, "", entry, AV_DICT_IGNORE_SUFFIX)))
            out.tags[QString::fromUtf8(entry->key).toLower()] = QString::fromUtf8(entry->value);
    }
    for (unsigned i = 0; i < format->nb_streams; ++i) {
        const AVStream* picture = format->streams[i];
        if ((picture->disposition & AV_DISPOSITION_ATTACHED_PIC) && out.cover.isEmpty())
            out.cover = QByteArray(reinterpret_cast<const char*>(picture->attached_pic.data),
                                   picture->attached_pic.size);
    }
    out.rate = codec->sample_rate;
    out.channels = codec->ch_layout.nb_channels;
    out.bitsPerSample = format->streams[stream]->codecpar->bits_per_coded_sample;
    out.bitRate = format->bit_rate > 0 ? format->bit_rate : codec->bit_rate;

    std::unique_ptr<AVPacket, PacketFreer> packet(av_packet_alloc());
    std::unique_ptr<AVFrame, FrameFreer> frame(av_frame_alloc());
    while (av_read_frame(format.get(), packet.get()) >= 0) {
        if (packet->stream_index == stream && avcodec_send_packet(codec.get(), packet.get()) == 0)
            drain(codec.get(), frame.get(), out);
        av_packet_unref(packet.get());
    }
    avcodec_send_packet(codec.get(), nullptr);
    drain(codec.get(), frame.get(), out);
    return out;
}

double dominantFrequency(const std::vector<float>& mono, int rate) {
    if (mono.size() < 2 || rate <= 0)
        return 0.0;
    long long crossings = 0;
    for (size_t i = 1; i < mono.size(); ++i)
        if ((mono[i - 1] < 0.0f) != (mono[i] < 0.0f))
            ++crossings;
    const double seconds = static_cast<double>(mono.size()) / rate;
    return crossings / 2.0 / seconds;
}

double rms(const std::vector<float>& mono, size_t from, size_t to) {
    if (to > mono.size())
        to = mono.size();
    if (from >= to)
        return 0.0;
    double sum = 0.0;
    for (size_t i = from; i < to; ++i)
        sum += static_cast<double>(mono[i]) * mono[i];
    return std::sqrt(sum / static_cast<double>(to - from));
}
