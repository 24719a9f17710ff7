#pragma once

#include "engine/audio/AudioOutput.h"

#include <QElapsedTimer>

// Stands in when no audio device opens: plays nothing, but consumes the
// queue at the sample rate by the clock, so positions and the end of playing
// behave as with a real device.
class SilentAudioOutput : public AudioOutput {
public:
    SilentAudioOutput(int rate, int channels);

    void queue(const float* interleaved, std::size_t frames) override;
    void clear() override;
    void setPaused(bool paused) override;
    long long pendingFrames() override;

private:
    void advance();

    int rate_;
    bool paused_ = true;
    long long pending_ = 0;
    long long carryNs_ = 0; // time not yet worth a whole frame
    QElapsedTimer clock_;
};
