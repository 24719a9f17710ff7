#pragma once

#include "engine/audio/AudioEncoder.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

struct AVCodecContext;
struct AVFormatContext;
struct AVFrame;
struct AVPacket;

// AAC (FFmpeg's own encoder) in an MP4 file: .m4a, .m4b for audiobooks,
// .m4r for ringtones, all the same container.
//
// AAC decoders give 1024 frames of the encoder's delay ahead of the audio
// and a whole last frame after it. The delay goes into the file's edit list,
// which decoders honour by dropping it. Not every decoder drops the tail the
// edit list ends before, so when the length is known up front (expectFrames)
// a little silence is put ahead of the audio instead, as much as makes the
// audio end exactly on a frame, and the edit list skips that too: the file
// then decodes to exactly the frames written wherever it is played.
class M4aEncoder : public AudioEncoder {
public:
    struct Format {
        int rate = 44100;
        int channels = 2;
        int kbps = 160; // constant bitrate mode
        bool vbr = false;
        double quality = 1.2; // VBR mode, FFmpeg's scale 0.1 .. 2
    };

    // The rate AAC encodes a source of `rate` at: its own where AAC has it,
    // else the next higher one AAC has.
    static int RateFor(int rate);

    // `order` maps the program's (Vorbis) channel order to the file's:
    // channel c of the file is channel order[c] of the blocks written.
    M4aEncoder(const QString& path, const Format& format, std::vector<int> order);
    ~M4aEncoder() override;

    int rate() const override { return format_.rate; }
    int channels() const override { return format_.channels; }
    void expectFrames(std::int64_t frames) override;
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
    Format format_;
    std::vector<int> order_;
    std::size_t frameSize_ = 1024;
    long long nextPts_ = 0;
    bool started_ = false;
    bool finished_ = false;
    std::unique_ptr<AVFormatContext, FormatCloser> container_;
    std::unique_ptr<AVCodecContext, CodecCloser> codec_;
    std::unique_ptr<AVFrame, FrameCloser> frame_;
    std::unique_ptr<AVPacket, PacketCloser> packet_;
    std::vector<float> pending_; // interleaved, in the file's order, short of a whole frame
};
