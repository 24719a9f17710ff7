#pragma once

#include "engine/audio/AudioOutput.h"

#include <cstdint>
#include <vector>

// An SDL 2 audio device fed through SDL's queue. SDL converts to whatever
// the device plays, so any rate and channel count can be queued; surround
// frames are put into SDL's speaker order first.
class SdlAudioOutput : public AudioOutput {
public:
    // Throws Error when SDL has no device to offer.
    SdlAudioOutput(int rate, int channels);
    ~SdlAudioOutput() override;
    SdlAudioOutput(const SdlAudioOutput&) = delete;
    SdlAudioOutput& operator=(const SdlAudioOutput&) = delete;

    void queue(const float* interleaved, std::size_t frames) override;
    void clear() override;
    void setPaused(bool paused) override;
    long long pendingFrames() override;

private:
    std::uint32_t device_ = 0;
    std::size_t frameBytes_;
    std::vector<int> speakerMap_; // empty when the orders agree
    std::vector<float> reordered_;
};
