#pragma once

#include <cstddef>

// Maps interleaved frames from one channel count to another: a single channel
// is copied to every output channel, extra output channels repeat the input
// ones, and fewer output channels mix the input down (surround layouts in
// Vorbis channel order fold into stereo with the usual -3 dB weights).
class ChannelMixer {
public:
    // `out` holds frames * outChannels floats; `in` and `out` must not overlap
    // unless the counts are equal.
    static void mix(const float* in, std::size_t frames, int inChannels, float* out,
                    int outChannels);
};
