#pragma once

#include "engine/audio/AudioEncoder.h"

#include <QString>

#include <memory>

struct sf_private_tag;

// PCM WAV through libsndfile: 8-bit (unsigned, as WAV stores it), 16, 24 or
// 32-bit integer samples. Overs are clipped, never wrapped.
class WavEncoder : public AudioEncoder {
public:
    WavEncoder(const QString& path, int rate, int channels, int bitsPerSample);
    ~WavEncoder() override;

    int rate() const override { return rate_; }
    int channels() const override { return channels_; }
    void write(const float* interleaved, std::size_t frames) override;
    void finish() override;

private:
    struct Closer {
        void operator()(sf_private_tag* file) const;
    };
    [[noreturn]] void fail(const char* what, int error, const char* libraryReason) const;

    QString path_;
    int rate_;
    int channels_;
    std::unique_ptr<sf_private_tag, Closer> file_;
};
