#include "engine/audio/ChannelMixer.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

constexpr float kMinus3dB = 0.70710678f;

// Weights of each Vorbis channel (order as the Vorbis I layout fixes it for
// 3..8 channels) in the left and right outputs.
struct StereoFold {
    std::array<float, 8> left;
    std::array<float, 8> right;
};

const StereoFold* foldFor(int channels) {
    constexpr float c = kMinus3dB;
    // 3: L C R
    static const StereoFold three{{1, c, 0}, {0, c, 1}};
    // 4: FL FR RL RR
    static const StereoFold four{{1, 0, c, 0}, {0, 1, 0, c}};
    // 5: FL C FR RL RR
    static const StereoFold five{{1, c, 0, c, 0}, {0, c, 1, 0, c}};
    // 6: FL C FR RL RR LFE
    static const StereoFold six{{1, c, 0, c, 0, 0}, {0, c, 1, 0, c, 0}};
    // 7: FL C FR SL SR RC LFE
    static const StereoFold seven{{1, c, 0, c, 0, c * c, 0}, {0, c, 1, 0, c, c * c, 0}};
    // 8: FL C FR SL SR RL RR LFE
    static const StereoFold eight{{1, c, 0, c, 0, c, 0, 0}, {0, c, 1, 0, c, 0, c, 0}};
    switch (channels) {
    case 3:
        return &three;
    case 4:
        return &four;
    case 5:
        return &five;
    case 6:
        return &six;
    case 7:
        return &seven;
    case 8:
        return &eight;
    default:
        return nullptr;
    }
}

} // namespace

void ChannelMixer::mix(const float* in, std::size_t frames, int inChannels, float* out,
                       int outChannels) {
    const auto inCh = static_cast<std::size_t>(inChannels);
    const auto outCh = static_cast<std::size_t>(outChannels);
    if (inCh == outCh) {
        if (in != out)
            std::memmove(out, in, frames * inCh * sizeof(float));
        return;
    }
    if (inCh == 1) {
        for (std::size_t f = 0; f < frames; ++f)
            std::fill_n(out + f * outCh, outCh, in[f]);
        return;
    }
    if (outCh > inCh) {
        for (std::size_t f = 0; f < frames; ++f)
            for (std::size_t c = 0; c < outCh; ++c)
                out[f * outCh + c] = in[f * inCh + c % inCh];
        return;
    }
    if (outCh == 1) {
        // Mixing to mono: the plain average keeps the level of a centred source.
        const float scale = 1.0f / static_cast<float>(inCh);
        for (std::size_t f = 0; f < frames; ++f) {
            float sum = 0;
            for (std::size_t c = 0; c < inCh; ++c)
                sum += in[f * inCh + c];
            out[f] = sum * scale;
        }
        return;
    }
    if (outCh == 2) {
        if (const StereoFold* fold = foldFor(inChannels)) {
            float leftNorm = 0;
            float rightNorm = 0;
            for (std::size_t c = 0; c < inCh; ++c) {
                leftNorm += fold->left[c];
                rightNorm += fold->right[c];
            }
            for (std::size_t f = 0; f < frames; ++f) {
                float l = 0;
                float r = 0;
                for (std::size_t c = 0; c < inCh; ++c) {
                    l += in[f * inCh + c] * fold->left[c];
                    r += in[f * inCh + c] * fold->right[c];
                }
                out[f * 2] = l / leftNorm;
                out[f * 2 + 1] = r / rightNorm;
            }
            return;
        }
    }
    // Any other reduction: output channel k averages the input channels that
    // fall on it when the inputs are dealt out in turn.
    for (std::size_t f = 0; f < frames; ++f) {
        for (std::size_t k = 0; k < outCh; ++k) {
            float sum = 0;
            int count = 0;
            for (std::size_t c = k; c < inCh; c += outCh) {
                sum += in[f * inCh + c];
                ++count;
            }
            out[f * outCh + k] = sum / static_cast<float>(count);
        }
    }
}
