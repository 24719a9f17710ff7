// The slider's geometry and its conversions between positions, seconds and
// sample frames.
#include "app/PreviewSlider.h"
#include "app/SkinObjects.h"
#include "tests/support/FakeSkinObject.h"

#include <gtest/gtest.h>

namespace {

struct SliderTest : ::testing::Test {
    FakeSkinObject pb;
    SkinObjects skin;
    PreviewSlider slider{skin};
    SliderTest() {
        skin.pb = &pb;
        skin.pbElement = &pb;
    }
};

TEST_F(SliderTest, HundredSecondFileFromTheOpenDialog) {
    slider.SetSliderRange(1084);
    EXPECT_EQ(pb.max, 1084);
    EXPECT_EQ(pb.thumb, 168);
    EXPECT_EQ(pb.refreshes, 1);
    ASSERT_EQ(slider.UsableRange(), 916);
    EXPECT_EQ(slider.PositionToSeconds(458, 100), 50);
    EXPECT_EQ(slider.PositionToSeconds(0, 100), 0);
    EXPECT_EQ(slider.PositionToSeconds(916, 100), 100);
    EXPECT_EQ(slider.PositionToFrame(0, 4410000), 0);
    EXPECT_EQ(slider.PositionToFrame(916, 4410000), 4410000);
    EXPECT_EQ(slider.PositionToFrame(458, 4410000), 2205000);
    EXPECT_EQ(slider.FrameToPosition(2205000, 4410000), 458);
    EXPECT_EQ(slider.StepWidth(100), 9);
}

TEST_F(SliderTest, ThousandSecondFileAndFolderMinimum) {
    slider.SetSliderRange(2000);
    EXPECT_EQ(pb.thumb, 309);
    EXPECT_EQ(slider.UsableRange(), 1691);
    EXPECT_EQ(slider.PositionToSeconds(1691, 1000), 1000);
    // 1691 div 1000 is 1, which would hardly move the thumb.
    EXPECT_EQ(slider.StepWidth(1000), 2);

    slider.SetSliderRange(1014);
    EXPECT_EQ(pb.thumb, 157);
    EXPECT_EQ(slider.UsableRange(), 857);
}

// 13 hours at 48 kHz: 2,246,400,000 frames, past 32 bits. The slider keeps
// its 32-bit positions; frames map through 64-bit arithmetic.
TEST_F(SliderTest, ThirteenHourFileMapsEveryPositionToItsFrame) {
    constexpr std::int64_t frames = 2'246'400'000;
    slider.SetSliderRange(46'800'000 / 500);
    EXPECT_EQ(pb.thumb, 14465);
    ASSERT_EQ(slider.UsableRange(), 79135);
    struct Row {
        std::int32_t position;
        std::int64_t frame;
        std::int32_t seconds;
    };
    // Position 76091 is where 12:30:00 shows; it lies 0.2 s before that frame.
    const Row rows[] = {
        {0, 0, 0}, {1, 28387, 1}, {76091, 2'159'990'174, 45000}, {79135, frames, 46800}};
    for (const Row& r : rows) {
        EXPECT_EQ(slider.PositionToFrame(r.position, frames), r.frame) << r.position;
        EXPECT_EQ(slider.PositionToSeconds(r.position, 46800), r.seconds) << r.position;
    }
    EXPECT_EQ(slider.FrameToPosition(std::int64_t{45000} * 48000, frames), 76091);
    EXPECT_EQ(slider.FrameToPosition(frames, frames), 79135);
    EXPECT_EQ(slider.FrameToPosition(frames * 4, frames), 4 * 79135);
    EXPECT_EQ(slider.StepWidth(46800), 2);
}

TEST_F(SliderTest, ShortAndEmptyFilesNeverDivideByZero) {
    slider.SetSliderRange(1014);
    // A file under one second: one step spans the whole track.
    EXPECT_EQ(slider.StepWidth(0), 857);
    EXPECT_EQ(slider.PositionToSeconds(500, 0), 0);
    EXPECT_EQ(slider.PositionToFrame(500, 0), 0);
    EXPECT_EQ(slider.FrameToPosition(500, 0), 0);
    // Past the end of the track reads as the end, never beyond.
    EXPECT_EQ(slider.PositionToSeconds(5000, 100), 100);
}

TEST(PreviewSliderWithoutSkin, ReadsAsAnEmptyTrack) {
    SkinObjects none;
    PreviewSlider slider(none);
    slider.SetSliderRange(1084);
    EXPECT_EQ(slider.UsableRange(), 0);
    EXPECT_EQ(slider.PositionToSeconds(10, 100), 0);
    EXPECT_EQ(slider.StepWidth(100), 2);
    slider.SetPosition(7);
    EXPECT_EQ(slider.GetPosition(), 7);
}

TEST_F(SliderTest, PositionIsKeptInSliderPos) {
    slider.SetSliderRange(1084);
    slider.SetPosition(300);
    EXPECT_EQ(pb.position, 300);
    EXPECT_EQ(slider.SliderPos, 300);
    pb.position = 120; // dragged
    EXPECT_EQ(slider.GetPosition(), 120);
    EXPECT_EQ(slider.SliderPos, 120);
}

} // namespace
