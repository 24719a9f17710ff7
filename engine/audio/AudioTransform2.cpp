#include "engine/audio/AudioTransform2.h"

#include <algorithm>

void AudioTransform2::Fade(SampleArray& samples, float fromPercent, float toPercent) {
    const auto channels = static_cast<std::size_t>(std::max(1, samples.channels));
    const std::size_t frames = samples.samples.size() / channels;
    if (frames == 0)
        return;
    const double from = fromPercent / 100.0;
    const double to = toPercent / 100.0;
    const double step = frames > 1 ? (to - from) / static_cast<double>(frames - 1) : 0.0;
    float* data = samples.samples.data();
    for (std::size_t f = 0; f < frames; ++f) {
        const auto gain =
            static_cast<float>(frames > 1 ? from + step * static_cast<double>(f) : to);
        for (std::size_t c = 0; c < channels; ++c)
            data[f * channels + c] *= gain;
    }
    // Samples past the last whole frame (a block cut mid-frame) end the ramp.
    for (std::size_t i = frames * channels; i < samples.samples.size(); ++i)
        data[i] *= static_cast<float>(to);
}
