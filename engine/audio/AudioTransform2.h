#pragma once

#include "engine/audio/IAudioTransform2.h"

// Sample transforms: a linear volume ramp across a block.
class AudioTransform2 : public IAudioTransform2 {
public:
    // The first frame gets `fromPercent` of full volume, the last `toPercent`,
    // frames between a straight line; every channel of a frame alike.
    void Fade(SampleArray& samples, float fromPercent, float toPercent) override;
};
