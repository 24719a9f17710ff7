// The preview driven through the real main window: files added through the
// open dialog, the skin's "play", "stop", "qian" and "hou", the slider dragged
// with the skin's mouse events, the real reader and the real player on the
// silent test driver.
#include "app/Preview.h"
#include "app/PreviewSlider.h"
#include "app/skin/ISkinScrollBar.h"
#include "app/skin/Skin.h"
#include "app/skin/SkinObject.h"
#include "engine/audio/IAudioFile2.h"
#include "platform/FormatTime.h"
#include "platform/MulDiv.h"
#include "tests/support/FfmpegDecoder.h"
#include "tests/support/MainWindowFixture.h"

#include <QElapsedTimer>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>

namespace {

// Low-rate mono fixtures keep long files quick to make and to decode.
constexpr int Rate = 8000;

class PreviewTest : public MainWindowFixture {
protected:
    void TearDown() override {
        if (main && main->state().Playing)
            click("stop");
        MainWindowFixture::TearDown();
    }

    void addFiles(const QStringList& paths) {
        MainWindowFixture::addFiles(paths);
        ASSERT_EQ(desktop.informations, QStringList());
    }
    int usableRange() { return main->previewSlider().UsableRange(); }
    QString timeText() { return skinText("timecaption"); }
    Preview& preview() { return main->preview(); }
    bool playing() const { return main->state().Playing; }
    // The user drags the slider to `position` and lets go.
    void drag(int position, const std::function<void()>& whileHeld = {}) {
        main->Skin1MouseDown(QStringLiteral("pb"));
        pb().SetPosition(position);
        main->Skin1ScrollTrack(QStringLiteral("pb"), position);
        if (whileHeld)
            whileHeld();
        main->Skin1MouseUp(QStringLiteral("pb"));
    }
    // Polls `done` while the event loop runs, with a deadline generous enough
    // for a busy machine.
    static bool waitFor(const std::function<bool()>& done) { return QTest::qWaitFor(done, 30000); }
    int sampleCount(int row) { return main->state().JobList[static_cast<size_t>(row)].SampleCount; }
};

TEST_F(PreviewTest, StepsAreTheRangeOverTheSecondsAndAtLeastTwo) {
    addFiles({ogg("hundred.ogg", 100), ogg("thousand.ogg", 1000)});
    selectFile(0);
    ASSERT_EQ(usableRange(), 916);
    click("qian");
    EXPECT_EQ(pb().GetPosition(), 9);
    EXPECT_EQ(timeText(), "00:00:01"); // 9 of 916 is 0.98 seconds
    click("qian");
    EXPECT_EQ(pb().GetPosition(), 18);
    click("hou");
    EXPECT_EQ(pb().GetPosition(), 9);

    selectFile(1);
    ASSERT_EQ(usableRange(), 1691);
    pb().SetPosition(100);
    click("qian");
    EXPECT_EQ(pb().GetPosition(), 102) << "1691 div 1000 is 1, raised to 2";
    EXPECT_EQ(timeText(), "00:01:00"); // 102 of 1691 is 60.3 seconds
    click("hou");
    click("hou");
    EXPECT_EQ(pb().GetPosition(), 98);
}

TEST_F(PreviewTest, StepsStopAtTheEndsAndDoNothingWhilePlaying) {
    addFiles({ogg("hundred.ogg", 100)});
    pb().SetPosition(910);
    click("qian");
    EXPECT_EQ(pb().GetPosition(), 910) << "a step past the end is not taken";
    pb().SetPosition(907);
    click("qian");
    EXPECT_EQ(pb().GetPosition(), 907) << "916 itself is the end";
    pb().SetPosition(906);
    click("qian");
    EXPECT_EQ(pb().GetPosition(), 915);

    pb().SetPosition(5);
    click("hou");
    EXPECT_EQ(pb().GetPosition(), 0);
    EXPECT_EQ(timeText(), "00:00:00");
    click("hou");
    EXPECT_EQ(pb().GetPosition(), 0);

    pb().SetPosition(300);
    click("play");
    ASSERT_TRUE(playing());
    // Held by the user, the slider stays put, so only the steps could move it.
    main->Skin1MouseDown(QStringLiteral("pb"));
    click("qian");
    EXPECT_EQ(pb().GetPosition(), 300);
    click("hou");
    EXPECT_EQ(pb().GetPosition(), 300);
}

TEST_F(PreviewTest, PlayingFromTheMiddleStartsAtTheSlidersFrameAndHoldsTheSelection) {
    addFiles({ogg("tone.ogg", 100, {}, 440), ogg("other.ogg", 3)});
    selectFile(0);
    pb().SetPosition(458);
    click("play");
    ASSERT_TRUE(playing());
    EXPECT_EQ(main->state().PlayingFile, 0);
    EXPECT_EQ(preview().StartSample(), MulDiv(458, sampleCount(0), 916));
    EXPECT_EQ(preview().StartSample(), 400000); // second 50

    // The player's clock moves the slider on from there.
    ASSERT_TRUE(waitFor([&] { return pb().GetPosition() > 458; }));
    EXPECT_EQ(timeText().left(7), "00:00:5");

    // The file list's selection stays on the playing file.
    selectFile(1);
    EXPECT_EQ(selectedFile(), 0);
    click("play");
    EXPECT_EQ(preview().StartSample(), 400000) << "a second play is ignored";

    click("stop");
    EXPECT_FALSE(playing());
    EXPECT_FALSE(main->state().Seeking);
    EXPECT_EQ(pb().GetPosition(), 0);
    EXPECT_EQ(timeText(), "00:00:00");
}

TEST_F(PreviewTest, SegmentPreviewRunsTheSliderOverTheSegmentAndStopsAtItsEnd) {
    addFiles({ogg("hundred.ogg", 100)});
    confirmSegment(30, 60, 100);
    ASSERT_EQ(main->lvTimeModel().text(0, 0), "00:00:30 - 00:01:00");
    ASSERT_EQ(status(0), "Ok");
    selectSegment(0);
    click("play");
    ASSERT_TRUE(preview().isSegmentPreview());
    EXPECT_EQ(status(0), "Playing");
    EXPECT_EQ(preview().PlayingSegment(), 0);
    EXPECT_EQ(preview().StartSample(), 0);

    // The played count arrives in the timer's third argument, in frames.
    preview().AudioPlayer21Timer(0, 0, 0);
    EXPECT_EQ(pb().GetPosition(), 0);
    EXPECT_EQ(timeText(), "00:00:00");
    preview().AudioPlayer21Timer(0, 0, 15 * Rate);
    EXPECT_EQ(pb().GetPosition(), 458);
    EXPECT_EQ(timeText(), "00:00:15");
    preview().AudioPlayer21Timer(0, 0, 29 * Rate);
    EXPECT_EQ(timeText(), "00:00:29");
    EXPECT_TRUE(playing());
    preview().AudioPlayer21Timer(0, 0, 30 * Rate);
    EXPECT_FALSE(playing()) << "the slider at its end stops the preview";
    EXPECT_EQ(status(0), "Ok");
    EXPECT_EQ(pb().GetPosition(), 0);
    EXPECT_EQ(timeText(), "00:00:00");
}

TEST_F(PreviewTest, ShortSegmentPlaysInRealTimeAndStopsByItself) {
    addFiles({ogg("ten.ogg", 10, {}, 440)});
    confirmSegment(2, 4, 10);
    selectSegment(0);
    QElapsedTimer clock;
    clock.start();
    click("play");
    ASSERT_TRUE(playing());
    int highest = 0;
    QStringList times;
    ASSERT_TRUE(waitFor([&] {
        highest = std::max(highest, pb().GetPosition());
        if (!times.contains(timeText()))
            times.append(timeText());
        return !playing();
    }));
    EXPECT_GE(clock.elapsed(), 1500);
    EXPECT_GT(highest, usableRange() / 2);
    EXPECT_TRUE(times.contains("00:00:01")) << times.join(", ").toStdString();
    EXPECT_FALSE(times.contains("00:00:03"));
    EXPECT_EQ(status(0), "Ok");
    EXPECT_EQ(pb().GetPosition(), 0);
}

TEST_F(PreviewTest, ReleasingTheSliderHalfwayContinuesAtSecondFortyFive) {
    const QString path = ogg("tone.ogg", 100, {}, 441.3);
    addFiles({path});
    confirmSegment(30, 60, 100);
    selectSegment(0);
    click("play");
    ASSERT_TRUE(preview().isSegmentPreview());
    QString shownWhileHeld;
    drag(458, [&] {
        EXPECT_TRUE(main->state().Seeking);
        // The clock does not move the slider under the user's hand.
        preview().AudioPlayer21Timer(0, 0, 2 * Rate);
        EXPECT_EQ(pb().GetPosition(), 458);
        shownWhileHeld = timeText();
    });
    EXPECT_EQ(shownWhileHeld, "00:00:15");
    EXPECT_FALSE(main->state().Seeking);
    EXPECT_TRUE(playing());
    EXPECT_EQ(preview().StartSample(), 15 * Rate);

    // The reader now stands at second 45: what it delivers next is what an
    // independent decoder finds there.
    const SampleArray next = main->AudioFileRead().ReadSamples(2048);
    ASSERT_EQ(next.frames(), 2048);
    const DecodedAudio whole = decodeWithFfmpeg(path);
    double error = 0;
    for (int i = 0; i < 2048; ++i)
        error =
            std::max<double>(error, std::fabs(next.samples[static_cast<size_t>(i)] -
                                              whole.samples[static_cast<size_t>(45 * Rate + i)]));
    EXPECT_LT(error, 0.01);

    // Counting restarts after the flush: 5 more seconds show 00:00:20.
    preview().AudioPlayer21Timer(0, 0, 5 * Rate);
    EXPECT_EQ(timeText(), "00:00:20");
    EXPECT_EQ(pb().GetPosition(), MulDiv(20, 916, 30));
}

TEST_F(PreviewTest, DraggingToTheEndStopsAndDraggingWhileIdleKeepsThePosition) {
    addFiles({ogg("hundred.ogg", 100)});
    drag(458, [&] { EXPECT_EQ(timeText(), "00:00:50"); });
    EXPECT_FALSE(playing());
    EXPECT_EQ(pb().GetPosition(), 458) << "released while idle, the position stays";
    click("play");
    EXPECT_EQ(preview().StartSample(), MulDiv(458, sampleCount(0), 916));
    drag(916);
    EXPECT_FALSE(playing());
    EXPECT_EQ(pb().GetPosition(), 0);
}

TEST_F(PreviewTest, MouseDragOnTheSkinsSliderReseeksThePlayingSegment) {
    addFiles({ogg("hundred.ogg", 100)});
    confirmSegment(30, 60, 100);
    selectSegment(0);
    click("play");
    ASSERT_TRUE(preview().isSegmentPreview());

    auto* slider = dynamic_cast<SkinObject*>(main->skinObjects().pb);
    ASSERT_NE(slider, nullptr);
    const QRectF track = slider->art().track;
    ASSERT_FALSE(track.isEmpty());
    const int y = qRound(track.center().y());
    const QPoint start(qRound(track.left() + track.width() * 0.25), y);
    const QPoint end(qRound(track.left() + track.width() * 0.5), y);

    QTest::mousePress(main->Skin1, Qt::LeftButton, {}, start);
    EXPECT_TRUE(main->state().Seeking);
    QTest::mouseMove(main->Skin1, end);
    const int held = pb().GetPosition();
    EXPECT_GT(held, 300);
    EXPECT_LT(held, 600);
    EXPECT_EQ(timeText(), FormatTime(MulDiv(held, 30, 916)));
    QTest::mouseRelease(main->Skin1, Qt::LeftButton, {}, end);

    EXPECT_FALSE(main->state().Seeking);
    EXPECT_TRUE(playing());
    EXPECT_EQ(preview().StartSample(), MulDiv(pb().GetPosition(), 30 * Rate, 916));
    EXPECT_EQ(status(0), "Playing");
}

TEST_F(PreviewTest, FilePreviewEndsWithTheFile) {
    addFiles({ogg("short.ogg", 1.5, {}, 440)});
    click("play");
    ASSERT_TRUE(playing());
    ASSERT_TRUE(waitFor([&] { return !playing(); }));
    EXPECT_EQ(pb().GetPosition(), 0);
    EXPECT_EQ(timeText(), "00:00:00");
    EXPECT_TRUE(desktop.errors.isEmpty());
}

TEST_F(PreviewTest, FilePreviewStaysAFilePreviewWhenTheSegmentListIsClicked) {
    addFiles({ogg("hundred.ogg", 100)});
    main->state().FunctionChoice = FunctionSplitByTime;
    selectFile(0);
    selectSegment(1); // a computed piece: play still previews the whole file
    ASSERT_TRUE(main->state().SegmentFocus);
    click("play");
    ASSERT_TRUE(playing());
    EXPECT_FALSE(preview().isSegmentPreview());
    EXPECT_EQ(preview().PlayingSegment(), -1);
    preview().AudioPlayer21Timer(0, 0, 50 * Rate);
    EXPECT_EQ(pb().GetPosition(), 458);
    EXPECT_EQ(timeText(), "00:00:50");
    drag(229, [&] { EXPECT_EQ(timeText(), "00:00:25"); });
    EXPECT_EQ(preview().StartSample(), 25 * Rate);
    EXPECT_EQ(status(1), "Unconvert");
}

TEST_F(PreviewTest, EmptyAndReversedSegmentsEndAtOnce) {
    addFiles({ogg("ten.ogg", 10)});
    confirmSegment(4, 4, 10);
    selectSegment(0);
    click("play");
    ASSERT_TRUE(playing());
    preview().AudioPlayer21Timer(0, 0, 0);
    EXPECT_FALSE(playing());
    EXPECT_EQ(status(0), "Ok");

    // The working segment with its end before its begin.
    placeAt(8, 10);
    click("Begin");
    placeAt(2, 10);
    click("End");
    selectSegment(1);
    click("play");
    ASSERT_TRUE(playing());
    EXPECT_EQ(status(1), "Playing");
    preview().AudioPlayer21Timer(0, 0, Rate);
    EXPECT_FALSE(playing());
    EXPECT_EQ(status(1), "Uncertain");
}

TEST_F(PreviewTest, FileShorterThanASecondStepsToTheEndsOnly) {
    // Both ways of adding refuse such a file now; a record of no whole
    // second still must not trip the preview.
    listrecord record;
    record.FileName = ogg("half.ogg", 0.5);
    record.Duration = 0;
    record.SliderRange = 1014;
    record.SampleCount = Rate / 2;
    record.SampleRate = Rate;
    record.BeginTimes = {0};
    record.EndTimes = {0};
    record.Caption = "half.ogg";
    main->lvModel().append(record);
    selectFile(0);
    pb().SetPosition(10);
    click("qian");
    EXPECT_EQ(pb().GetPosition(), 10);
    click("hou");
    EXPECT_EQ(pb().GetPosition(), 0);
    EXPECT_EQ(timeText(), "00:00:00");
    click("play");
    ASSERT_TRUE(playing());
    preview().AudioPlayer21Timer(0, 0, Rate / 4);
    EXPECT_EQ(timeText(), "00:00:00");
    EXPECT_TRUE(waitFor([&] { return !playing(); }));
}

TEST_F(PreviewTest, AFileThatCannotBeOpenedLeavesThePreviewStopped) {
    const QString path = ogg("gone.ogg", 3);
    addFiles({path});
    ASSERT_TRUE(QFile::remove(path));
    click("play");
    EXPECT_FALSE(playing());
    ASSERT_EQ(desktop.errors.size(), 1);
    EXPECT_TRUE(desktop.errors[0].contains("gone.ogg")) << desktop.errors[0].toStdString();
    // Nothing is stuck: the file list can move on and play can be tried again.
    click("play");
    EXPECT_EQ(desktop.errors.size(), 2);
}

TEST_F(PreviewTest, AddingFilesStopsThePreview) {
    addFiles({ogg("one.ogg", 10)});
    confirmSegment(1, 5, 10);
    selectSegment(0);
    click("play");
    ASSERT_TRUE(playing());
    addFiles({ogg("two.ogg", 3)});
    EXPECT_FALSE(playing());
    EXPECT_EQ(main->lvModel().count(), 2);
}

} // namespace
