// The window's run display drawn on skin objects that remember what they got.

#include "app/RunProgress.h"
#include "app/skin/ISkinElement.h"
#include "app/skin/ISkinText.h"

#include <QStringList>

#include <gtest/gtest.h>

namespace {

class RecordingText : public ISkinText {
public:
    QStringList texts;
    void SetText(const QString& text) override { texts.append(text); }
    QString last() const { return texts.isEmpty() ? QString() : texts.last(); }
};

class RecordingElement : public ISkinElement {
public:
    SkinRect rect{12, 340, 513, 348};
    int refreshes = 0;
    SkinRect GetRect() const override { return rect; }
    void SetRect(const SkinRect& r) override { rect = r; }
    void Refresh() override { ++refreshes; }
};

} // namespace

TEST(RunProgressTest, BarWidthFollowsTheSkinAndEmptiesAtTheEnds) {
    RecordingText text;
    RecordingElement textElement;
    RecordingElement bar;
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
    EXPECT_EQ(text.last(), "42%");
    EXPECT_EQ(textElement.refreshes, 1);
}
