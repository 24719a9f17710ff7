// Fades: linear ramps over whole frames.
#include "engine/audio/AudioTransform2.h"

#include <gtest/gtest.h>

namespace {

SampleArray ones(int frames, int channels) {
    SampleArray a;
    a.channels = channels;
    a.samples.assign(static_cast<size_t>(frames * channels), 1.0f);
    return a;
}

TEST(AudioTransformTest, FadeInAndOutRampEveryChannelAlike) {
    AudioTransform2 transform;
    SampleArray in = ones(5, 2);
    transform.Fade(in, 0, 100);
    const std::vector<float> rising{0, 0, 0.25f, 0.25f, 0.5f, 0.5f, 0.75f, 0.75f, 1, 1};
    for (size_t i = 0; i < rising.size(); ++i)
        EXPECT_FLOAT_EQ(in.samples[i], rising[i]) << i;

    SampleArray out = ones(5, 2);
    transform.Fade(out, 100, 0);
    for (size_t i = 0; i < rising.size(); ++i)
        EXPECT_FLOAT_EQ(out.samples[i], rising[rising.size() - 1 - i]) << i;
}

TEST(AudioTransformTest, PartialRampsAndOddBlocks) {
    AudioTransform2 transform;
    SampleArray a = ones(3, 1);
    transform.Fade(a, 50, 100);
    EXPECT_FLOAT_EQ(a.samples[0], 0.5f);
    EXPECT_FLOAT_EQ(a.samples[1], 0.75f);
    EXPECT_FLOAT_EQ(a.samples[2], 1.0f);

    // A block ending inside a frame: the stray sample takes the end value.
    SampleArray odd = ones(3, 2);
    odd.samples.push_back(1.0f);
    transform.Fade(odd, 100, 0);
    EXPECT_FLOAT_EQ(odd.samples[6], 0.0f);

    SampleArray empty;
    transform.Fade(empty, 0, 100);
    EXPECT_TRUE(empty.empty());
}

} // namespace
