#pragma once

#include "engine/audio/AudioEncoder.h"
#include "engine/audio/OutputFile.h"

#include <QString>

#include <memory>
#include <optional>

// Ogg Vorbis through vorbisenc: by bitrate (nominal, minimum, maximum in kbps,
// 0 leaving a bound free; bounds are held by bitrate management, a nominal
// bitrate alone is an average) or quality mode (0..1000 for 0.0..1.0). Each
// file gets a fresh random stream serial number.
class OggEncoder : public AudioEncoder {
public:
    struct Format {
        int rate = 44100;
        int channels = 2;
        int kbps = 128;
        int minKbps = 0;
        int maxKbps = 0;
        int quality = -1; // -1: by bitrate
    };

    OggEncoder(const QString& path, const Format& format);
    ~OggEncoder() override;

    int rate() const override { return format_.rate; }
    int channels() const override { return format_.channels; }
    void write(const float* interleaved, std::size_t frames) override;
    void finish() override;

    // Whether vorbisenc can encode this bitrate combination.
    static bool accepts(int rate, int channels, int kbps, int minKbps, int maxKbps);

private:
    struct State;

    void drain(bool flushPages);

    Format format_;
    std::unique_ptr<State> state_;
    std::optional<OutputFile> file_;
};
