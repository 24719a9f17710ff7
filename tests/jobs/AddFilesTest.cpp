// Adding real Ogg files through the open dialog and from a folder: captions
// from titles, records measured by the reader, refused files and the rows
// that follow them.
#include "engine/audio/AudioFile2.h"
#include "tags/SourceTags.h"
#include "tests/jobs/JobsHarness.h"
#include "tests/support/OggFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

struct AddFilesTest : ::testing::Test {
    QTemporaryDir dir;
    AudioFile2 reader;
    JobsHarness h;

    AddFilesTest() {
        reader.SetActive(true);
        h.reader = &reader;
        h.readComments = ReadSourceTags;
    }

    // A short, quick-to-encode source.
    QString ogg(const QString& name, double seconds, QStringList comments = {}) {
        OggFixture fixture;
        fixture.rate = 8000;
        fixture.channels = 1;
        fixture.seconds = seconds;
        fixture.frequency = 0;
        fixture.comments = std::move(comments);
        QDir().mkpath(QFileInfo(dir.filePath(name)).path());
        return fixture.write(dir.filePath(name));
    }
    QString junk(const QString& name) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray(5000, 'x'));
        return f.fileName();
    }
    void addThroughDialog(const QStringList& files) {
        h.desktop.openFilesAnswers.push_back(files);
        h.jobs->AddFiles();
    }
    QStringList captions() const {
        QStringList out;
        for (int r = 0; r < h.lv.count(); ++r)
            out.append(h.lv.text(r, 0));
        return out;
    }
};

TEST_F(AddFilesTest, OpenDialogMeasuresTheFileAndShowsItsTitle) {
    const QString path = ogg("song.ogg", 3.5,
                             {"TITLE= a:b/c? ", "ARTIST=Someone", "ALBUM=Record", "GENRE=Jazz",
                              "COMMENT=Nice", "DATE=2001"});
    addThroughDialog({path});

    EXPECT_EQ(h.desktop.lastFilter, SourceIntake::OpenFilter);
    ASSERT_EQ(h.lv.count(), 1);
    EXPECT_EQ(h.lv.row(0),
              (QStringList{"abc", "00:00:03", JobListModel::SizeText(QFileInfo(path).size())}));
    const listrecord& r = h.state.JobList[0];
    EXPECT_EQ(r.FileName, path);
    EXPECT_EQ(r.Duration, 3);
    EXPECT_EQ(r.SliderRange, 1084);
    EXPECT_EQ(r.SampleCount, 28000);
    EXPECT_EQ(r.SegmentCount, 1);
    EXPECT_EQ(r.BeginTimes, std::vector<std::int32_t>{0});
    EXPECT_EQ(r.EndTimes, std::vector<std::int32_t>{3});
    // The caption is fit for a file name; the tags keep what the file says.
    const AudioFileinfo& t = h.state.JobList[0].Tags;
    EXPECT_EQ(t.Title, "a:b/c?");
    EXPECT_EQ(t.Artist, "Someone");
    EXPECT_EQ(t.Album, "Record");
    EXPECT_EQ(t.Genre, "Jazz");
    EXPECT_EQ(t.Comment, "Nice");
    EXPECT_EQ(t.Year, "2001");
    for (const auto& [date, year] : {std::pair{"1999-12-31", "1999"},
                                     {"31.12.1999", "1999"},
                                     {"May 1999", "1999"},
                                     {" long ago ", "long ago"}})
        EXPECT_EQ(SourceIntake::YearOf(QString::fromLatin1(date)), year) << date;

    // Adopted: selected, slider range set, segments shown, help hidden.
    EXPECT_EQ(h.selectedFile(), 0);
    EXPECT_EQ(h.state.CurrentFile, 0);
    EXPECT_EQ(h.pb.max, 1084);
    EXPECT_EQ(h.segmentRows(), QStringList{"00:00:00 - 00:00:03|00:00:03|Uncertain"});
    EXPECT_EQ(h.tataltime.text, "00:00:03");
    EXPECT_EQ(h.helpVisible, 0);
    EXPECT_FALSE(h.state.FolderAddMode);
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_TRUE(h.desktop.informations.isEmpty());
}

TEST_F(AddFilesTest, AnOgaFileIsAddedWithItsTagsAsAnOggFileIs) {
    addThroughDialog({ogg("voice.oga", 1.5, {"TITLE=Voice", "ARTIST=Someone"})});
    ASSERT_EQ(captions(), QStringList{"Voice"});
    EXPECT_EQ(h.state.JobList[0].Tags.Artist, "Someone");
}

TEST_F(AddFilesTest, OpenDialogStartsAtHomeThenWhereTheLastFilesCameFrom) {
    const QString music = QStandardPaths::writableLocation(QStandardPaths::MusicLocation);
    addThroughDialog({});
    EXPECT_EQ(h.desktop.lastFolder, QFileInfo(music).isDir() ? music : QDir::homePath());

    const QString path = ogg("sub/one.ogg", 1.5);
    addThroughDialog({path});
    addThroughDialog({});
    EXPECT_EQ(h.desktop.lastFolder, dir.filePath("sub"));
}

TEST_F(AddFilesTest, TitlesThatCleanToNothingLeaveTheFileName) {
    addThroughDialog({ogg("one.ogg", 1.2, {"TITLE=*?:  /"}), ogg("two.ogg", 1.2),
                      ogg("three.ogg", 1.2, {"TITLE=Three"})});
    EXPECT_EQ(captions(), (QStringList{"one.ogg", "two.ogg", "Three"}));
    EXPECT_EQ(h.state.JobList[0].Tags.Title, "*?:  /");
}

// What reading comments loads is held once for a whole batch of files, from
// before the first file is read to after the last.
TEST_F(AddFilesTest, ABatchHoldsTheCommentReaderOnceAroundAllItsFiles) {
    int holds = 0;
    std::weak_ptr<void> held;
    h.holdCommentReader = [&] {
        ++holds;
        auto token = std::make_shared<int>(0);
        held = token;
        return token;
    };
    int readWhileHeld = 0;
    const auto read = h.readComments;
    h.readComments = [&](const QString& file, AudioFileinfo& tags) {
        readWhileHeld += held.expired() ? 0 : 1;
        read(file, tags);
    };
    addThroughDialog({ogg("music/a.ogg", 1.5, {"TITLE=A"}), ogg("music/b.ogg", 1.5)});
    EXPECT_EQ(holds, 1);
    EXPECT_EQ(readWhileHeld, 2);
    EXPECT_TRUE(held.expired());
    h.folderAnswer = dir.filePath("music");
    h.jobs->AddFolder();
    EXPECT_EQ(holds, 2);
    EXPECT_EQ(readWhileHeld, 4);
    EXPECT_TRUE(held.expired());
    EXPECT_EQ(captions(), (QStringList{"A", "b.ogg", "A", "b.ogg"}));
}

TEST_F(AddFilesTest, LongFileGetsTheLargerSliderRange) {
    addThroughDialog({ogg("long.ogg", 560.2)});
    EXPECT_EQ(h.state.JobList[0].SliderRange, 1120);
    EXPECT_EQ(h.lv.text(0, 1), "00:09:20");
}

TEST_F(AddFilesTest, ShortFileIsRefusedAndTheNextTakesItsPlace) {
    addThroughDialog({ogg("first.ogg", 2.0, {"TITLE=First", "ARTIST=A"})});
    h.desktop.pumpCount = 0;
    addThroughDialog({ogg("short.ogg", 0.5, {"TITLE=Short", "ARTIST=S"}),
                      ogg("next.ogg", 4.0, {"TITLE=Next", "ARTIST=N"})});
    EXPECT_EQ(h.desktop.informations,
              QStringList{"short.ogg this File is Error or not supported."});
    EXPECT_EQ(captions(), (QStringList{"First", "Next"}));
    ASSERT_GE(h.state.JobList.size(), 2u);
    EXPECT_EQ(QFileInfo(h.state.JobList[1].FileName).fileName(), "next.ogg");
    EXPECT_EQ(h.state.JobList[1].Duration, 4);
    EXPECT_EQ(h.state.JobList[1].Tags.Title, "Next");
    EXPECT_EQ(h.state.JobList[1].Tags.Artist, "N");
    EXPECT_EQ(h.lv.text(1, 1), "00:00:04");
    EXPECT_GE(h.desktop.pumpCount, 2);
    EXPECT_EQ(h.tataltime.text, "00:00:06");
}

TEST_F(AddFilesTest, UnreadableFileIsRefusedAndTheReaderRecovers) {
    addThroughDialog({junk("broken.ogg"), ogg("good.ogg", 2.0, {"TITLE=Good"})});
    EXPECT_EQ(h.desktop.informations, QStringList{"broken.ogg this File is not supported."});
    EXPECT_EQ(captions(), QStringList{"Good"});
    EXPECT_EQ(h.state.JobList[0].Tags.Title, "Good");
    EXPECT_EQ(h.state.JobList[0].Duration, 2);
    EXPECT_FALSE(reader.IsOpen());
}

TEST_F(AddFilesTest, ARefusedFileKeepsItsMessageAndTheDetailsSayWhy) {
    const QString broken = junk("broken.ogg");
    const QString shortFile = ogg("short.ogg", 0.5);
    QDir().mkpath(dir.filePath("folder.ogg"));
    addThroughDialog({broken, shortFile, dir.filePath("folder.ogg")});
    EXPECT_EQ(h.desktop.informations, (QStringList{"broken.ogg this File is not supported.",
                                                   "short.ogg this File is Error or not supported.",
                                                   "folder.ogg this File is not supported."}));
    ASSERT_EQ(h.desktop.details.size(), 3);
    // The reader's own words, naming the file.
    EXPECT_TRUE(h.desktop.details[0].startsWith("Cannot open " + broken + ": "))
        << h.desktop.details[0].toStdString();
    EXPECT_EQ(h.desktop.details[1],
              shortFile + " lasts less than one second: there is nothing to cut.");
    EXPECT_EQ(h.desktop.details[2], dir.filePath("folder.ogg") + " is a folder.");
}

TEST_F(AddFilesTest, FileVanishedBeforeItIsAddedIsRefused) {
    addThroughDialog({dir.filePath("gone.ogg")});
    EXPECT_EQ(h.desktop.informations, QStringList{"gone.ogg this File is not supported."});
    EXPECT_EQ(h.lv.count(), 0);
    EXPECT_EQ(h.helpVisible, 1);
}

TEST_F(AddFilesTest, CancelledDialogAddsNothing) {
    h.state.Playing = true;
    h.jobs->AddFiles();
    EXPECT_EQ(h.lv.count(), 0);
    EXPECT_EQ(h.stopCount, 0);
    addThroughDialog({ogg("a.ogg", 1.5)});
    EXPECT_EQ(h.stopCount, 1);
    EXPECT_FALSE(h.state.Playing);
}

TEST_F(AddFilesTest, NameColumnNarrowsFromTheTwelfthRow) {
    QStringList files;
    for (int i = 0; i < 12; ++i)
        files.append(ogg(QStringLiteral("f%1.ogg").arg(i), 1.1));
    addThroughDialog(files.mid(0, 11));
    EXPECT_EQ(h.nameColumnWidth, 143);
    addThroughDialog(files.mid(11));
    EXPECT_EQ(h.lv.count(), 12);
    EXPECT_EQ(h.nameColumnWidth, 123);
    h.selectFile(5);
    h.jobs->RemoveFile();
    EXPECT_EQ(h.nameColumnWidth, 143);
}

TEST_F(AddFilesTest, FolderAddsItsOggFilesInNameOrderWithTheirTags) {
    ogg("music/b.ogg", 1.5, {"TITLE=Bee", "ARTIST=X"});
    ogg("music/A.OGG", 0.4);
    ogg("music/c.ogg", 1.5, {"TITLE=Ce/e"});
    ogg("music/sub/d.ogg", 1.5);
    junk("music/notes.txt");
    junk("music/bad.ogg");
    QDir().mkpath(dir.filePath("music/folder.ogg"));
    h.folderAnswer = dir.filePath("music");
    h.state.Playing = true;

    h.jobs->AddFolder();
    EXPECT_EQ(h.folderCaption, "Add File Directory");
    EXPECT_TRUE(h.state.FolderAddMode);
    EXPECT_EQ(h.state.FolderDialogMode, AppState::FolderMode::AddFolder);
    EXPECT_EQ(h.stopCount, 1);
    // The short file and the broken one are refused as the open dialog
    // refuses them, named together in one warning at the end.
    EXPECT_EQ(captions(), (QStringList{"Bee", "Cee"}));
    EXPECT_EQ(h.desktop.informations, QStringList{"A.OGG this File is Error or not supported.\n"
                                                  "bad.ogg this File is not supported."});
    EXPECT_EQ(h.desktop.severities, std::vector{Desktop::Severity::Warning});
    EXPECT_EQ(h.state.JobList[0].SliderRange, 1014);
    EXPECT_EQ(h.state.JobList[1].FileName, dir.filePath("music/c.ogg"));
    // Read as the open dialog reads them.
    EXPECT_EQ(h.state.JobList[0].Tags.Title, "Bee");
    EXPECT_EQ(h.state.JobList[0].Tags.Artist, "X");
    EXPECT_EQ(h.state.JobList[1].Tags.Title, "Ce/e");
    EXPECT_EQ(h.selectedFile(), 0);
    EXPECT_EQ(h.state.CurrentFile, 0);
    EXPECT_EQ(h.segmentRows(), QStringList{"00:00:00 - 00:00:01|00:00:01|Uncertain"});
    EXPECT_GE(h.desktop.pumpCount, 4);
}

TEST_F(AddFilesTest, CancelledFolderDialogAddsNothing) {
    ogg("music/a.ogg", 1.5);
    h.folderAnswer.clear();
    h.state.ChosenFolder = dir.filePath("music"); // left from an earlier showing
    h.jobs->AddFolder();
    EXPECT_EQ(h.lv.count(), 0);
    EXPECT_TRUE(h.state.FolderAddMode);
}

TEST_F(AddFilesTest, AddingToAListWithASelectionKeepsIt) {
    addThroughDialog({ogg("a.ogg", 1.5), ogg("b.ogg", 2.5)});
    h.selectFile(1);
    h.jobs->lvClick();
    h.folderAnswer = dir.path();
    h.jobs->AddFolder();
    EXPECT_EQ(h.lv.count(), 4);
    EXPECT_EQ(h.selectedFile(), 1);
    EXPECT_EQ(h.state.CurrentFile, 1);
    // Each file's single segment runs to its last frame: 1.5 + 2.5, twice.
    EXPECT_EQ(h.tataltime.text, "00:00:08");
}

} // namespace
