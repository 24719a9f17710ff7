#pragma once

#include "engine/audio/SampleArray.h"

// Sample transforms. `Fade` scales the samples in place along a ramp from
// `fromPercent` to `toPercent` of full volume: fade-in is (0, 100), fade-out
// (100, 0).
class IAudioTransform2 {
public:
    virtual ~IAudioTransform2() = default;
    virtual void Fade(SampleArray& samples, float fromPercent, float toPercent) = 0;
};
