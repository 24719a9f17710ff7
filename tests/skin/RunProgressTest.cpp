// The window's run display drawn on skin objects that remember what they got.

#include "app/RunProgress.h"
#include "tests/support/FakeSkinObject.h"

#include <gtest/gtest.h>

TEST(RunProgressTest, BarWidthFollowsTheSkinAndEmptiesAtTheEnds) {
    FakeSkinObject text;
    FakeSkinObject textElement;
    FakeSkinObject bar;
    bar.rect = {12, 340, 513, 348};
    bool wide = false;
    RunProgress progress(&text, &textElement, &bar, wide);
    const int left = bar.rect.left;

    progress.SetRunProgress(5000);
    EXPECT_EQ(bar.rect.right - left, 227);
    progress.SetRunProgress(9999);
    EXPECT_EQ(bar.rect.right - left, 454);
    progress.SetRunProgress(10000);
    EXPECT_EQ(bar.rect.right - left, 0) << "a finished run shows an empty bar";
    progress.SetRunProgress(3000);
    progress.SetRunProgress(10020);
    EXPECT_EQ(bar.rect.right - left, 136) << "too wide for the narrow skin: unchanged";
    EXPECT_EQ(bar.rect.top, 340);
    EXPECT_EQ(bar.rect.bottom, 348);

    wide = true;
    progress.SetRunProgress(5000);
    EXPECT_EQ(bar.rect.right - left, 251);
    progress.SetRunProgress(-1);
    EXPECT_EQ(bar.rect.right - left, 0);
    EXPECT_GT(bar.refreshes, 0);

    progress.SetText("42%");
    EXPECT_EQ(text.text, "42%");
    EXPECT_EQ(textElement.refreshes, 1);
}
