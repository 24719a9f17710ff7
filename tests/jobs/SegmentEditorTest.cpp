// Marking, confirming, removing and clearing segments, and the computed
// pieces of the two split functions.
#include "core/Segments.h"
#include "tests/jobs/JobsHarness.h"

#include <gtest/gtest.h>

namespace {

const QString OnlyCustom =
    QStringLiteral("Only chose \"Custom\" or \"unification\" function, this button is usable.");

struct SegmentTest : ::testing::Test {
    JobsHarness h;

    // One file of `duration` seconds, selected and shown.
    void oneFile(std::int32_t duration, std::int32_t choice = FunctionCustom) {
        h.state.FunctionChoice = choice;
        h.addRecord(QStringLiteral("song"), duration);
        h.selectFile(0);
        h.jobs->lvClick();
    }
    void mark(std::int32_t begin, std::int32_t end, std::int32_t duration) {
        h.placeSlider(begin, duration);
        h.segments->MarkBegin();
        h.placeSlider(end, duration);
        h.segments->MarkEnd();
    }
};

// Pieces cut at silences of a 117.5 s file: rows that follow one another
// never overlap, and their lengths add up to the whole.
TEST(SegmentRows, FractionalCutsNeitherOverlapNorLoseTime) {
    const QStringList first = Segments::SegmentRowMs(0, 80504, SegmentStatus::Unconvert);
    const QStringList second = Segments::SegmentRowMs(80504, 117500, SegmentStatus::Unconvert);
    EXPECT_EQ(first, QStringList({"00:00:00 - 00:01:20.50", "00:01:20.50", "Unconvert"}));
    EXPECT_EQ(second, QStringList({"00:01:20.50 - 00:01:57.50", "00:00:37", "Unconvert"}));
}

TEST_F(SegmentTest, NewFileShowsOneWorkingSegment) {
    oneFile(125);
    EXPECT_EQ(h.segmentRows(), QStringList{"00:00:00 - 00:02:05|00:02:05|Uncertain"});
    EXPECT_EQ(h.timecaption.text, "00:00:00");
}

TEST_F(SegmentTest, BeginEndOkConfirmsAndOpensANewWorkingSegment) {
    oneFile(100);
    mark(30, 60, 100);
    EXPECT_EQ(h.segmentRows(), QStringList{"00:00:30 - 00:01:00|00:00:30|Uncertain"});
    EXPECT_EQ(h.tataltime.text, "00:00:30");
    h.segments->ConfirmSegment();
    EXPECT_EQ(h.segmentRows(), (QStringList{"00:00:30 - 00:01:00|00:00:30|Ok",
                                            "00:00:00 - 00:01:40|00:01:40|Uncertain"}));
    const listrecord& r = h.state.JobList[0];
    EXPECT_EQ(r.SegmentCount, 2);
    EXPECT_EQ(r.BeginTimes, (std::vector<std::int32_t>{30, 0}));
    EXPECT_EQ(r.EndTimes, (std::vector<std::int32_t>{60, 100}));
    // The working segment is not counted once another is confirmed.
    EXPECT_EQ(h.tataltime.text, "00:00:30");
    // Rebuilt, the confirmed row reads "OK".
    h.jobs->lvClick();
    EXPECT_EQ(h.lvTime.text(0, 2), "OK");
    EXPECT_TRUE(h.desktop.informations.isEmpty());
}

TEST_F(SegmentTest, EndBeforeBeginIsRefusedUntilBeginMovesBack) {
    oneFile(100);
    mark(50, 20, 100);
    EXPECT_EQ(h.lvTime.text(0, 0), "00:00:50 - 00:00:20");
    EXPECT_EQ(h.lvTime.text(0, 1), "00:00:00");
    EXPECT_EQ(h.tataltime.text, "00:00:00");
    h.segments->ConfirmSegment();
    EXPECT_EQ(h.desktop.informations, QStringList{"Start-time must not be larger than end-time."});
    EXPECT_EQ(h.lvTime.count(), 1);
    EXPECT_EQ(h.state.JobList[0].SegmentCount, 1);

    h.placeSlider(10, 100);
    h.segments->MarkBegin();
    h.segments->ConfirmSegment();
    EXPECT_EQ(h.lvTime.count(), 2);
    EXPECT_EQ(h.lvTime.text(0, 0), "00:00:10 - 00:00:20");
}

TEST_F(SegmentTest, OkTwiceWithoutMarking) {
    oneFile(100);
    h.segments->ConfirmSegment();
    h.segments->ConfirmSegment();
    EXPECT_EQ(h.segmentRows(),
              (QStringList{"00:00:00 - 00:01:40|00:01:40|Ok", "00:00:00 - 00:01:40|00:01:40|Ok",
                           "00:00:00 - 00:01:40|00:01:40|Uncertain"}));
    EXPECT_EQ(h.state.JobList[0].SegmentCount, 3);
    EXPECT_EQ(h.tataltime.text, "00:03:20");
}

TEST_F(SegmentTest, SplitByTimePieces) {
    oneFile(125, FunctionSplitByTime);
    EXPECT_EQ(h.segmentRows(), (QStringList{"00:00:00 - 00:01:00|00:01:00|Unconvert",
                                            "00:01:00 - 00:02:00|00:01:00|Unconvert",
                                            "00:02:00 - 00:02:05|00:00:05|Unconvert"}));
    const auto exact = Segments::TimePieces(120, 60);
    EXPECT_EQ(exact, (std::vector<Segments::Piece>{{0, 60}, {60, 120}, {120, 120}}));
}

TEST_F(SegmentTest, SplitByCountPieces) {
    oneFile(125, FunctionSplitByCount);
    ASSERT_EQ(h.lvTime.count(), 6);
    for (int k = 0; k < 6; ++k)
        EXPECT_EQ(h.lvTime.text(k, 1), "00:00:20");
    EXPECT_EQ(h.lvTime.text(5, 0), "00:01:40 - 00:02:00");
    EXPECT_EQ(h.lvTime.text(5, 2), "Unconvert");
    // A file shorter than the count gives empty pieces.
    EXPECT_EQ(Segments::CountPieces(3, 6).size(), 6u);
    EXPECT_EQ(Segments::CountPieces(3, 6).back(), (Segments::Piece{0, 0}));
}

TEST_F(SegmentTest, LengthAndCountBelowOneCountAsOne) {
    h.state.SplitSeconds = 0;
    oneFile(3, FunctionSplitByTime);
    EXPECT_EQ(h.lvTime.count(), 4);
    EXPECT_EQ(h.lvTime.text(3, 0), "00:00:03 - 00:00:03");
    h.state.SplitCount = -5;
    h.state.FunctionChoice = FunctionSplitByCount;
    h.jobs->lvClick();
    EXPECT_EQ(h.segmentRows(), QStringList{"00:00:00 - 00:00:03|00:00:03|Unconvert"});
}

TEST_F(SegmentTest, AbsurdCountIsBounded) {
    const auto pieces = Segments::CountPieces(20, 2000000000);
    EXPECT_EQ(pieces.size(), static_cast<size_t>(Segments::MaxCountPieces));
    EXPECT_EQ(pieces.back(), (Segments::Piece{0, 0}));
    EXPECT_EQ(Segments::CountPieces(300000, 200000).size(), 100000u);
    EXPECT_EQ(Segments::CountPieces(300000, 200000).back(), (Segments::Piece{299997, 300000}));
}

TEST_F(SegmentTest, MarksAreRefusedInTheSplitFunctions) {
    oneFile(125, FunctionSplitByTime);
    const QStringList before = h.segmentRows();
    h.segments->MarkBegin();
    h.segments->MarkEnd();
    h.segments->ConfirmSegment();
    EXPECT_EQ(h.desktop.informations, (QStringList{OnlyCustom, OnlyCustom, OnlyCustom}));
    EXPECT_EQ(h.segmentRows(), before);
    // Removing a computed piece does nothing, silently.
    h.selectSegment(0);
    h.segments->RemoveSegment();
    EXPECT_EQ(h.lvTime.count(), 3);
    EXPECT_EQ(h.desktop.informations.size(), 3);
}

TEST_F(SegmentTest, WithoutASelectedFileNothingHappens) {
    h.addRecord(QStringLiteral("song"), 100);
    h.segments->MarkBegin();
    h.segments->ConfirmSegment();
    h.segments->RemoveSegment();
    EXPECT_TRUE(h.desktop.informations.isEmpty());
    EXPECT_EQ(h.state.JobList[0].SegmentCount, 1);
}

TEST_F(SegmentTest, RemovingConfirmedSegmentsButNeverTheWorkingOne) {
    oneFile(100);
    mark(10, 20, 100);
    h.segments->ConfirmSegment();
    mark(30, 50, 100);
    h.segments->ConfirmSegment();
    ASSERT_EQ(h.lvTime.count(), 3);

    h.selectSegment(2);
    h.segments->RemoveSegment();
    EXPECT_EQ(h.desktop.informations,
              QStringList{"This item, the procedure will automatically process. Need not delete."});
    EXPECT_EQ(h.lvTime.count(), 3);

    h.state.CurrentSegment = 5;
    h.selectSegment(0);
    h.segments->RemoveSegment();
    EXPECT_EQ(h.segmentRows(), (QStringList{"00:00:30 - 00:00:50|00:00:20|Ok",
                                            "00:00:00 - 00:01:40|00:01:40|Uncertain"}));
    const listrecord& r = h.state.JobList[0];
    EXPECT_EQ(r.SegmentCount, 2);
    EXPECT_EQ(r.BeginTimes, (std::vector<std::int32_t>{30, 0}));
    EXPECT_EQ(r.EndTimes, (std::vector<std::int32_t>{50, 100}));
    EXPECT_EQ(h.state.CurrentSegment, 1);
    EXPECT_EQ(h.selectedSegment(), 1);
    EXPECT_EQ(h.tataltime.text, "00:00:20");
}

TEST_F(SegmentTest, PreviewedWorkingSegmentStillCannotBeRemoved) {
    oneFile(100);
    h.lvTime.setText(0, 2, QStringLiteral("Playing"));
    h.selectSegment(0);
    h.segments->RemoveSegment();
    EXPECT_EQ(h.desktop.informations.size(), 1);
    EXPECT_EQ(h.state.JobList[0].SegmentCount, 1);
    EXPECT_EQ(h.state.JobList[0].BeginTimes.size(), 1u);
}

TEST_F(SegmentTest, SegmentClickTakesTheFocusAndKeepsTheRow) {
    oneFile(100);
    h.segments->ConfirmSegment();
    h.state.CurrentSegment = 9;
    h.segments->lv_timeClick();
    EXPECT_TRUE(h.state.SegmentFocus);
    EXPECT_EQ(h.state.CurrentSegment, 1);
    EXPECT_EQ(h.selectedSegment(), 1);
    h.selectSegment(0);
    h.segments->lv_timeDblClick();
    EXPECT_EQ(h.state.CurrentSegment, 0);
    h.jobs->lvClick();
    EXPECT_FALSE(h.state.SegmentFocus);
}

TEST_F(SegmentTest, UnificationMarksTheFirstFileScaledByItsLength) {
    h.state.FunctionChoice = FunctionUnification;
    h.addRecord(QStringLiteral("first"), 200, 1084);
    h.addRecord(QStringLiteral("second"), 50, 1084);
    h.selectFile(1);
    h.jobs->lvClick();
    EXPECT_EQ(h.segmentRows(), QStringList{"00:00:00 - 00:03:20|00:03:20|Uncertain"});
    // Half-way along the slider is second 100 of the first file.
    h.pb.SetPosition(458);
    h.segments->MarkBegin();
    h.pb.SetPosition(916);
    h.segments->MarkEnd();
    h.segments->ConfirmSegment();
    EXPECT_EQ(h.state.JobList[0].BeginTimes, (std::vector<std::int32_t>{100, 0}));
    EXPECT_EQ(h.state.JobList[0].EndTimes, (std::vector<std::int32_t>{200, 200}));
    EXPECT_EQ(h.state.JobList[1].SegmentCount, 1);
    EXPECT_EQ(h.state.JobList[1].EndTimes, std::vector<std::int32_t>{50});
    // 100 s of the first file; the second ends before the segment begins.
    EXPECT_EQ(h.tataltime.text, "00:01:40");

    h.segments->ClearSegments();
    EXPECT_EQ(h.state.JobList[0].SegmentCount, 1);
    EXPECT_EQ(h.state.JobList[0].BeginTimes, std::vector<std::int32_t>{0});
    EXPECT_EQ(h.state.JobList[0].EndTimes, std::vector<std::int32_t>{200});
    EXPECT_EQ(h.segmentRows(), QStringList{"00:00:00 - 00:03:20|00:03:20|Uncertain"});
    EXPECT_FALSE(h.state.SegmentFocus);
    EXPECT_EQ(h.tataltime.text, "00:04:10");
}

TEST_F(SegmentTest, ClearInSplitFunctionResetsTheSelectedFile) {
    oneFile(100);
    mark(10, 20, 100);
    h.segments->ConfirmSegment();
    h.state.FunctionChoice = FunctionSplitByTime;
    h.segments->ClearSegments();
    EXPECT_EQ(h.state.JobList[0].SegmentCount, 1);
    EXPECT_EQ(h.state.JobList[0].EndTimes, std::vector<std::int32_t>{100});
    EXPECT_EQ(h.lvTime.count(), 2); // 0-60, 60-100
}

// A run takes the working row out of the list and restores the count
// afterwards; a mark made right then must still go to the working segment.
TEST_F(SegmentTest, MarkAfterARunEditsTheWorkingSegmentNotAConfirmedOne) {
    oneFile(100);
    mark(10, 20, 100);
    h.segments->ConfirmSegment();
    h.lvTime.remove(1);
    h.lvTime.setText(0, 2, QStringLiteral("Finish"));

    h.placeSlider(70, 100);
    h.segments->MarkBegin();
    const listrecord& r = h.state.JobList[0];
    EXPECT_EQ(r.BeginTimes, (std::vector<std::int32_t>{10, 70}));
    EXPECT_EQ(h.segmentRows(), (QStringList{"00:00:10 - 00:00:20|00:00:10|OK",
                                            "00:01:10 - 00:01:40|00:00:30|Uncertain"}));
}

} // namespace
