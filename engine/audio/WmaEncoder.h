#pragma once

#include "engine/audio/AudioEncoder.h"

#include <QString>

#include <memory>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;

// WMA (FFmpeg's wmav2 encoder) in an ASF file. The encoder takes whole
// frames of its own size; what is left over waits for the next write and the
// last, shorter frame is padded by FFmpeg when the file is completed.
// Decoders give nothing for the first frame, which only primes their
// overlap: a frame of silence goes ahead of the audio, so that none of it is
// lost and it starts where the piece does. ASF cannot say where the audio
// ends, so the last frame decodes whole.
class WmaEncoder : public AudioEncoder {
public:
    WmaEncoder(const QString& path, int rate, int channels, int kbps);
    ~WmaEncoder() override;

    int rate() const override { return rate_; }
    int channels() const override { return channels_; }
    void write(const float* interleaved, std::size_t frames) override;
    void finish() override;

private:
    struct FormatCloser {
        void operator()(AVFormatContext* context) const;
    };
    struct CodecCloser {
        void operator()(AVCodecContext* context) const;
    };
    struct FrameCloser {
        void operator()(AVFrame* frame) const;
    };
    struct PacketCloser {
        void operator()(AVPacket* packet) const;
    };

    void encode(std::size_t frames);
    void send(AVFrame* frame);
    [[noreturn]] void fail(const char* what, int code) const;

    QString path_;
    int rate_;
    int channels_;
    std::size_t frameSize_ = 0;
    long long nextPts_ = 0;
    bool finished_ = false;
    bool audio_ = false; // any frames written

    std::unique_ptr<AVFormatContext, FormatCloser> format_;
    std::unique_ptr<AVCodecContext, CodecCloser> codec_;
    std::unique_ptr<AVFrame, FrameCloser> frame_;
    std::unique_ptr<AVPacket, PacketCloser> packet_;
    std::vector<float> pending_; // interleaved frames short of a whole frame
};
