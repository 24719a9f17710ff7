#pragma once

#include <QString>

#include <cstdint>
#include <functional>

// Cuts pieces out of one source by copying its packets, without decoding
// and encoding them again. Each output format that can copy has one, read
// from the source once and asked for every piece.
class StreamCutter {
public:
    // Called now and then with the frames written so far; false ends the
    // piece at the packet in hand, still as a complete file.
    using Progress = std::function<bool(std::int64_t frames)>;

    virtual ~StreamCutter() = default;

    // Why no piece of the source can be copied; empty when pieces can.
    virtual QString problem() const { return {}; }
    // The frames the packets hold, as a decoder delivers them.
    virtual std::int64_t totalFrames() const = 0;
    // The rate those frames are counted in; 0 when it is the source's own.
    virtual int sampleRate() const { return 0; }
    // Why [begin, end) cannot be copied exactly, in a few words; empty when
    // it can.
    virtual QString obstacle(std::int64_t begin, std::int64_t end) const = 0;
    // Writes the piece to `output` (created or replaced) and returns the
    // frames it holds. Throws Error when it cannot be written.
    virtual std::int64_t write(std::int64_t begin, std::int64_t end, const QString& output,
                               const Progress& progress) const = 0;
};
