#pragma once

#include <vector>

// A block of interleaved 32-bit float samples exchanged with the audio
// components. Its upper bound (lower bound 1) is its element count, so the
// frames it holds are UpperBound() / channels.
struct SampleArray {
    std::vector<float> samples;
    int channels = 0;

    int UpperBound() const { return static_cast<int>(samples.size()); }
    int frames() const { return channels > 0 ? UpperBound() / channels : 0; }
    bool empty() const { return samples.empty(); }
};
