#pragma once

#include <cstddef>

// Where the preview's samples go: a queue that plays at the sample rate.
class AudioOutput {
public:
    virtual ~AudioOutput() = default;

    // Copies the frames to the end of the queue.
    virtual void queue(const float* interleaved, std::size_t frames) = 0;
    // Drops everything still queued.
    virtual void clear() = 0;
    virtual void setPaused(bool paused) = 0;
    // Frames queued but not yet played.
    virtual long long pendingFrames() = 0;
};
