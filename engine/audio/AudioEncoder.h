#pragma once

#include <QString>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// One output file being encoded. The constructor of each implementation
// checks its settings before it creates the file, so a refused setting never
// leaves a file behind. Frames come in the encoder's own rate and channel
// count; every failure throws Error naming the file.
class AudioEncoder {
public:
    virtual ~AudioEncoder() = default;

    virtual int rate() const = 0;
    virtual int channels() const = 0;
    // Told before the first frame when the output's length is known up
    // front, in the encoder's own frames; encoders that align their frames
    // to it may use it, the others ignore it.
    virtual void expectFrames(std::int64_t /*frames*/) {}
    virtual void write(const float* interleaved, std::size_t frames) = 0;
    // Completes the file (sizes, last frames, trailers) and closes it.
    virtual void finish() = 0;
};

// What the encoder of an output is made for: the blocks' rate and channels,
// and the depth of their source's samples (0 for a lossy source).
struct EncoderInput {
    int rate = 44100;
    int channels = 2;
    int bits = 0;
};

// Makes the encoder of one output file; throws Error for settings it cannot
// encode, before any file is created.
using EncoderFactory =
    std::function<std::unique_ptr<AudioEncoder>(const QString& path, const EncoderInput& input)>;
