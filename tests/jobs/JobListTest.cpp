// Reordering, removing, clearing and adopting rows of the file list, and the
// total output length, on records made directly.
#include "tests/jobs/JobsHarness.h"

#include <gtest/gtest.h>

namespace {

struct JobListTest : ::testing::Test {
    JobsHarness h;

    void files(std::initializer_list<std::pair<const char*, int>> list) {
        for (const auto& [caption, duration] : list)
            h.addRecord(QString::fromLatin1(caption), duration);
    }
    QStringList captions() const {
        QStringList out;
        for (int r = 0; r < h.lv.count(); ++r)
            out.append(h.lv.text(r, 0));
        return out;
    }
    QStringList recordNames() const {
        QStringList out;
        for (int r = 0; r < h.lv.count(); ++r)
            out.append(h.state.JobList[static_cast<size_t>(r)].FileName.section('/', -1));
        return out;
    }
};

TEST_F(JobListTest, MovingRowsCarriesRecordsAndTags) {
    files({{"a", 10}, {"b", 20}, {"c", 30}});
    h.state.JobList[1].Tags.Title = QStringLiteral("tag of b");
    h.selectFile(1);
    h.jobs->MoveFileUp();
    EXPECT_EQ(captions(), (QStringList{"b", "a", "c"}));
    EXPECT_EQ(recordNames(), (QStringList{"b.ogg", "a.ogg", "c.ogg"}));
    EXPECT_EQ(h.state.JobList[0].Tags.Title, "tag of b");
    EXPECT_EQ(h.lv.text(0, 1), "00:00:20");
    EXPECT_EQ(h.selectedFile(), 0);
    EXPECT_EQ(h.state.CurrentFile, 0);
    EXPECT_EQ(h.focusCount, 1);

    // At the ends nothing moves.
    h.jobs->MoveFileUp();
    EXPECT_EQ(captions(), (QStringList{"b", "a", "c"}));
    h.selectFile(2);
    h.jobs->MoveFileDown();
    EXPECT_EQ(captions(), (QStringList{"b", "a", "c"}));
    h.selectFile(0);
    h.jobs->MoveFileDown();
    EXPECT_EQ(captions(), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(h.state.JobList[1].Tags.Title, "tag of b");
    EXPECT_EQ(h.selectedFile(), 1);

    // Nor during a run.
    h.state.Busy = true;
    h.jobs->MoveFileUp();
    EXPECT_EQ(captions(), (QStringList{"a", "b", "c"}));
}

TEST_F(JobListTest, MovesFollowThePreviewedFile) {
    files({{"a", 10}, {"b", 20}, {"c", 30}});
    h.state.Playing = true;
    h.state.PlayingFile = 1;
    h.selectFile(1);
    h.jobs->MoveFileDown();
    EXPECT_EQ(h.state.PlayingFile, 2);
    // A neighbour moved past the previewed row leaves it pointing at the same file.
    h.selectFile(1);
    h.jobs->MoveFileDown();
    EXPECT_EQ(captions(), (QStringList{"a", "b", "c"}));
    EXPECT_EQ(h.state.PlayingFile, 1);
}

TEST_F(JobListTest, RemovingTheLastRowSelectsTheFirst) {
    files({{"a", 10}, {"b", 20}, {"c", 30}});
    h.selectFile(2);
    h.jobs->lvClick();
    ASSERT_EQ(h.state.CurrentFile, 2);
    h.jobs->RemoveFile();
    EXPECT_EQ(captions(), (QStringList{"a", "b"}));
    EXPECT_EQ(recordNames(), (QStringList{"a.ogg", "b.ogg"}));
    EXPECT_EQ(h.state.JobList.size(), 2u);
    EXPECT_EQ(h.selectedFile(), 0);
    EXPECT_EQ(h.state.CurrentFile, 0);
    EXPECT_EQ(h.segmentRows(), QStringList{"00:00:00 - 00:00:10|00:00:10|Uncertain"});
    EXPECT_EQ(h.tataltime.text, "00:00:30");
}

TEST_F(JobListTest, RemovingAMiddleRowKeepsTheFollowingRecordsAligned) {
    files({{"a", 10}, {"b", 20}, {"c", 30}, {"d", 40}});
    h.state.JobList[2].Tags.Title = QStringLiteral("tag of c");
    h.selectFile(1);
    h.jobs->lvClick();
    h.jobs->RemoveFile();
    EXPECT_EQ(captions(), (QStringList{"a", "c", "d"}));
    EXPECT_EQ(recordNames(), (QStringList{"a.ogg", "c.ogg", "d.ogg"}));
    EXPECT_EQ(h.state.JobList[1].Tags.Title, "tag of c");
    EXPECT_EQ(h.selectedFile(), 1);
    EXPECT_EQ(h.lvTime.text(0, 0), "00:00:00 - 00:00:30");
}

TEST_F(JobListTest, RemovingTheOnlyRowEmptiesTheSegmentsAndShowsHelp) {
    files({{"a", 10}});
    h.selectFile(0);
    h.jobs->lvClick();
    EXPECT_EQ(h.helpVisible, 0);
    h.pb.SetPosition(50);
    h.timecaption.text = "00:00:05";
    h.jobs->RemoveFile();
    EXPECT_EQ(h.lv.count(), 0);
    EXPECT_EQ(h.lvTime.count(), 0);
    EXPECT_EQ(h.helpVisible, 1);
    EXPECT_EQ(h.tataltime.text, "00:00:00");
    EXPECT_EQ(h.pb.position, 0);
    EXPECT_EQ(h.timecaption.text, "00:00:00");
    // Nothing selected: nothing to remove.
    h.jobs->RemoveFile();
}

TEST_F(JobListTest, RemovingDuringAPreviewKeepsItOnItsFile) {
    files({{"a", 10}, {"b", 20}, {"c", 30}});
    h.state.Playing = true;
    h.state.PlayingFile = 2;
    h.selectFile(0);
    h.jobs->RemoveFile();
    EXPECT_EQ(h.state.PlayingFile, 1);
    EXPECT_EQ(h.stopCount, 0);
    // lvClick keeps the selection on the previewed file.
    EXPECT_EQ(h.selectedFile(), 1);
    // Removing the previewed file itself ends the preview.
    h.jobs->RemoveFile();
    EXPECT_EQ(h.stopCount, 1);
    EXPECT_EQ(captions(), QStringList{"b"});
}

TEST_F(JobListTest, ClearingDiscardsEverything) {
    files({{"a", 10}, {"b", 20}});
    h.selectFile(0);
    h.jobs->lvClick();
    h.state.Playing = true;
    h.jobs->ClearFiles();
    EXPECT_EQ(h.lv.count(), 0);
    EXPECT_EQ(h.lvTime.count(), 0);
    EXPECT_TRUE(h.state.JobList.empty());
    EXPECT_EQ(h.helpVisible, 1);
    EXPECT_EQ(h.stopCount, 1);
    h.jobs->ShowTotalTime();
    EXPECT_EQ(h.tataltime.text, "00:00:00");

    // Without a preview the position stays where it was put, until Clear.
    files({{"a", 100}});
    h.selectFile(0);
    h.jobs->lvClick();
    h.state.Playing = false;
    h.placeSlider(90, 100);
    h.timecaption.text = "00:01:30";
    h.jobs->ClearFiles();
    EXPECT_EQ(h.pb.position, 0);
    EXPECT_EQ(h.timecaption.text, "00:00:00");
}

TEST_F(JobListTest, ClickAdoptsTheRowUnlessARunOrPreviewHoldsIt) {
    files({{"a", 100}, {"b", 1000}});
    h.selectFile(1);
    h.state.SegmentFocus = true;
    h.jobs->lvClick();
    EXPECT_FALSE(h.state.SegmentFocus);
    EXPECT_EQ(h.state.CurrentFile, 1);
    EXPECT_EQ(h.pb.max, 1084);

    h.state.JobList[1].SliderRange = 2000;
    h.state.Busy = true;
    h.selectFile(0);
    h.jobs->lvClick();
    EXPECT_EQ(h.selectedFile(), 1);
    EXPECT_EQ(h.pb.max, 1084);

    h.state.Busy = false;
    h.state.Playing = true;
    h.state.PlayingFile = 1;
    h.selectFile(0);
    h.jobs->lvClick();
    EXPECT_EQ(h.selectedFile(), 1);

    h.state.Playing = false;
    h.jobs->lvClick();
    EXPECT_EQ(h.pb.max, 2000);
    EXPECT_EQ(h.pb.thumb, 309);

    // A remembered row past the end, nothing selected: the last row.
    h.state.CurrentFile = 7;
    h.selectFile(-1);
    h.jobs->lvClick();
    EXPECT_EQ(h.selectedFile(), 1);
    // Never selected anything yet.
    h.state.CurrentFile = -1;
    h.selectFile(-1);
    h.jobs->lvClick();
    EXPECT_EQ(h.selectedFile(), 0);
}

TEST_F(JobListTest, UnificationTotalOverAllFiles) {
    files({{"long", 100}, {"short", 40}});
    h.state.FunctionChoice = FunctionUnification;
    listrecord& shared = h.state.JobList[0];
    shared.SegmentCount = 2;
    shared.BeginTimes = {30, 0};
    shared.EndTimes = {60, 100};
    h.jobs->ShowTotalTime();
    EXPECT_EQ(h.tataltime.text, "00:00:40");
    EXPECT_GE(h.tataltime.refreshes, 1);
}

TEST_F(JobListTest, TotalsOfTheOtherFunctions) {
    files({{"a", 100}, {"b", 40}});
    h.state.JobList[0].SegmentCount = 3;
    h.state.JobList[0].BeginTimes = {10, 50, 0};
    h.state.JobList[0].EndTimes = {20, 70, 100};
    EXPECT_EQ(JobListEditor::TotalSeconds(h.state), 30 + 40);
    // A working segment marked backwards adds nothing.
    h.state.JobList[1].BeginTimes = {30};
    h.state.JobList[1].EndTimes = {10};
    EXPECT_EQ(JobListEditor::TotalSeconds(h.state), 30);
    h.state.FunctionChoice = FunctionSplitByTime;
    EXPECT_EQ(JobListEditor::TotalSeconds(h.state), 140);
    // Six pieces of whole seconds: 6 x 16 and 6 x 6; the rest is not written.
    h.state.FunctionChoice = FunctionSplitByCount;
    EXPECT_EQ(JobListEditor::TotalSeconds(h.state), 96 + 36);
    EXPECT_EQ(JobListEditor::TotalSeconds(AppState{}), 0);
    // A shared segment past a file's end ends that file's pieces, as in a
    // run, even when a later one would fit.
    h.state.FunctionChoice = FunctionUnification;
    h.state.JobList[0].BeginTimes = {50, 10, 0};
    h.state.JobList[0].EndTimes = {70, 20, 100};
    EXPECT_EQ(JobListEditor::TotalSeconds(h.state), 30);
}

TEST(JobListSizeText, MegabytesWithTwoDecimals) {
    EXPECT_EQ(JobListModel::SizeText(3690987), "3.52MB");
    EXPECT_EQ(JobListModel::SizeText(0), "0.00MB");
    EXPECT_EQ(JobListModel::SizeText(1048576), "1.00MB");
    EXPECT_EQ(JobListModel::SizeText(524288), "0.50MB");
    // Five significant digits: a gigabyte and more loses the second decimal.
    EXPECT_EQ(JobListModel::SizeText(qint64(1234567) * 1024), "1205.60MB");
}

} // namespace
