#include "engine/audio/ZeroCrossing.h"

#include "engine/audio/AudioReader.h"

#include <algorithm>
#include <cstdlib>

long long ZeroCrossing::Nearest(const SampleArray& block, long long blockStart, long long target) {
    const int frames = block.frames();
    const int channels = block.channels;
    if (frames < 2)
        return target;
    const auto sum = [&](int i) {
        float s = 0;
        for (int ch = 0; ch < channels; ++ch)
            s += block.samples[static_cast<std::size_t>(i * channels + ch)];
        return s;
    };
    long long best = -1;
    long long bestDistance = 0;
    float before = sum(0);
    for (int i = 1; i < frames; ++i) {
        const float now = sum(i);
        const bool crosses = (before < 0 && now >= 0) || (before > 0 && now <= 0);
        before = now;
        if (!crosses)
            continue;
        const long long frame = blockStart + i;
        const long long distance = std::llabs(frame - target);
        if (best < 0 || distance < bestDistance) {
            best = frame;
            bestDistance = distance;
        }
    }
    return best < 0 ? target : best;
}

long long ZeroCrossing::NearestIn(const QString& path, long long target) {
    AudioReader reader(path);
    // As a player seeks: quick on every format, exact on most.
    reader.setQuickSeeks(true);
    const long long from = std::max(0LL, target - SearchFrames);
    const long long to = std::min(reader.totalFrames(), target + SearchFrames + 1);
    if (to <= from)
        return target;
    reader.seek(from);
    const SampleArray block = reader.read(static_cast<int>(to - from));
    return Nearest(block, from, target);
}
