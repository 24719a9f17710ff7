#pragma once

#include "engine/audio/SampleArray.h"

// The preview player. Its events are the Qt signals of `AudioPlayer2`.
class IAudioPlayer2 {
public:
    virtual ~IAudioPlayer2() = default;
    virtual void Play() = 0;
    virtual void StopPlayer() = 0;
    // Queues a copy of the samples; the caller may drop its array at once.
    virtual void PlayArray(const SampleArray& samples) = 0;
    // Drops queued audio; the played-frame count restarts at 0.
    virtual void Flush() = 0;
    virtual void OpenPlayer(int sampleRate, int channels) = 0;
};
