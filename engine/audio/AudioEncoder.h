#pragma once

#include <cstddef>

// One output file being encoded. The constructor of each implementation
// checks its settings before it creates the file, so a refused setting never
// leaves a file behind. Frames come in the encoder's own rate and channel
// count; every failure throws Error naming the file.
class AudioEncoder {
public:
    virtual ~AudioEncoder() = default;

    virtual int rate() const = 0;
    virtual int channels() const = 0;
    virtual void write(const float* interleaved, std::size_t frames) = 0;
    // Completes the file (sizes, last frames, trailers) and closes it.
    virtual void finish() = 0;
};
