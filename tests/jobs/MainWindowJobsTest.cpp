// The job list and the segment editor through the real main window: skin
// clicks and menu items, the open dialog answered by the scripted desktop,
// the real folder dialog, the real reader and the skin's own objects.
#include "app/PreviewSlider.h"
#include "app/dialogs/RadioGroup.h"
#include "app/dialogs/Tfm_cue.h"
#include "app/dialogs/Tfm_dir.h"
#include "app/dialogs/Tfm_set.h"
#include "app/skin/SkinObject.h"
#include "core/ReportListModel.h"
#include "core/RowSelection.h"
#include "engine/SegmentFiles.h"
#include "engine/SourceIntake.h"
#include "platform/FormatTime.h"
#include "platform/MulDiv.h"
#include "tests/support/CdImages.h"
#include "tests/support/FfmpegDecoder.h"
#include "tests/support/FormatCorpus.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/OggFixture.h"
#include "tests/support/ScriptedDesktop.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QStringEncoder>
#include <QTableWidget>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <memory>

namespace {

class MainWindowJobsTest : public MainWindowFixture {};

TEST_F(MainWindowJobsTest, AddingThroughTheOpenDialogFillsBothLists) {
    EXPECT_TRUE(main->sm->isVisibleTo(main.get()));
    addFiles({ogg("hundred.ogg", 100.3, {"TITLE=Hundred"}), ogg("plain.ogg", 40.5)});
    EXPECT_EQ(desktop.lastFilter, SourceIntake::OpenFilter);
    EXPECT_EQ(desktop.informations, QStringList());
    EXPECT_EQ(captions(), (QStringList{"Hundred", "plain.ogg"}));
    EXPECT_EQ(lv().text(0, 1), "00:01:40");
    EXPECT_EQ(lv().text(1, 1), "00:00:40");
    EXPECT_FALSE(main->sm->isVisibleTo(main.get()));
    EXPECT_EQ(main->lv->columnWidth(0), 143);
    EXPECT_EQ(selectedFile(), 0);
    EXPECT_EQ(pb().GetMax(), 1084);
    EXPECT_EQ(main->previewSlider().UsableRange(), 916);
    EXPECT_EQ(segmentRows(), QStringList{"00:00:00 - 00:01:40|00:01:40|Uncertain"});
    EXPECT_EQ(total(), "00:02:20");
    EXPECT_EQ(main->state().JobList[0].Tags.Title, "Hundred");
}

TEST_F(MainWindowJobsTest, BeginEndOkThroughTheSkin) {
    addFiles({ogg("hundred.ogg", 100.3)});
    pb().SetPosition(458);
    click("Begin");
    EXPECT_EQ(lvTime().text(0, 0), "00:00:50 - 00:01:40");
    placeAt(80, 100);
    click("End");
    click("Ok");
    EXPECT_EQ(segmentRows(), (QStringList{"00:00:50 - 00:01:20|00:00:30|Ok",
                                          "00:00:00 - 00:01:40|00:01:40|Uncertain"}));
    EXPECT_EQ(total(), "00:00:30");

    // Remove acts on segments once the segment list has the focus.
    selectSegment(1);
    click("Remove");
    EXPECT_EQ(desktop.informations,
              QStringList{"This item, the procedure will automatically process. Need not delete."});
    selectSegment(0);
    click("Remove");
    EXPECT_EQ(segmentRows(), QStringList{"00:00:00 - 00:01:40|00:01:40|Uncertain"});
    EXPECT_EQ(lv().count(), 1);
    EXPECT_EQ(total(), "00:01:40");

    // The menus' Remove leaves segments alone; Clear resets them.
    click("Ok");
    selectSegment(0);
    main->Remove1Click();
    EXPECT_EQ(lvTime().count(), 2);
    click("Clear");
    EXPECT_EQ(segmentRows(), QStringList{"00:00:00 - 00:01:40|00:01:40|Uncertain"});
    EXPECT_FALSE(main->state().SegmentFocus);
    EXPECT_EQ(lv().count(), 1);
}

// Segments from a label file keep their exact frames and titles in the
// list, where titles are typed and segments removed and added; exported,
// they read back as they stand.
TEST_F(MainWindowJobsTest, ImportedSegmentsKeepFramesAndTitlesThroughEditsAndExport) {
    const QString source = ogg("hundred.ogg", 100.3);
    addFiles({source});
    QFile labels(dir.filePath("labels.txt"));
    ASSERT_TRUE(labels.open(QIODevice::WriteOnly));
    labels.write("10.25\t20.5\tFirst\n40\t60\tSecond\n");
    labels.close();
    desktop.openFilesAnswers.push_back({labels.fileName()});
    main->ImportSegments1Click();
    EXPECT_EQ(segmentRows(), (QStringList{"00:00:10.25 - 00:00:20.50|00:00:10.25|OK|First",
                                          "00:00:40 - 00:01:00|00:00:20|OK|Second",
                                          "00:00:00 - 00:01:40|00:01:40|Uncertain"}));

    // Times typed in place: what is left as shown keeps its exact frame.
    lvTime().setData(lvTime().index(0, 0), QStringLiteral("00:00:10.25 - 0:15,125"), Qt::EditRole);
    EXPECT_EQ(lvTime().text(0, 0), "00:00:10.25 - 00:00:15.13");
    EXPECT_EQ(main->state().JobList[0].Pieces[0].end, 121000);
    lvTime().setData(lvTime().index(0, 0), QStringLiteral("00:00:16 - 00:00:15"), Qt::EditRole);
    lvTime().setData(lvTime().index(0, 0), QStringLiteral("soon - later"), Qt::EditRole);
    EXPECT_EQ(desktop.informations,
              (QStringList{"Start-time must not be larger than end-time.",
                           "\"soon - later\" is not a begin and end time like 00:04:17.69 - "
                           "00:05:02.13."}));
    EXPECT_EQ(main->state().JobList[0].Pieces[0].begin, 82000);

    lvTime().setData(lvTime().index(1, 3), QStringLiteral(" Second take "), Qt::EditRole);
    lvTime().setData(lvTime().index(2, 3), QStringLiteral("Working"), Qt::EditRole);
    EXPECT_EQ(lvTime().text(1, 3), "Second take");
    EXPECT_EQ(lvTime().text(2, 3), "");
    selectSegment(0);
    click("Remove");
    placeAt(70, 100);
    click("Begin");
    click("Ok");
    EXPECT_EQ(segmentRows(), (QStringList{"00:00:40 - 00:01:00|00:00:20|OK|Second take",
                                          "00:01:10 - 00:01:40.30|00:00:30.30|Ok|",
                                          "00:00:00 - 00:01:40|00:01:40|Uncertain"}));
    const auto& pieces = main->state().JobList[0].Pieces;
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(pieces[1].begin, 70 * 8000);
    EXPECT_EQ(pieces[1].end, 802400);
    // The sheet's numbers stay; the new piece comes after the last.
    EXPECT_EQ(pieces[0].tags.track, 2);
    EXPECT_EQ(pieces[1].tags.track, 3);
    EXPECT_EQ(pieces[1].tags.tracks, 3);

    desktop.saveAnswers.push_back({dir.filePath("marks"), 2});
    main->ExportSegments1Click();
    ASSERT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("\n").toStdString();
    const auto back = SegmentFiles::Import(dir.filePath("marks.txt"), source, 8000, 802400);
    ASSERT_EQ(back.size(), 2u);
    for (size_t k = 0; k < 2; ++k) {
        EXPECT_EQ(back[k].begin, pieces[k].begin);
        EXPECT_EQ(back[k].end, pieces[k].end);
        EXPECT_EQ(back[k].tags.title, pieces[k].tags.title);
    }

    // In a split function the pieces the list shows go out.
    main->state().FunctionChoice = FunctionSplitByTime;
    main->state().SplitSeconds = 30;
    desktop.saveAnswers.push_back({dir.filePath("split.cue"), 1});
    main->ExportSegments1Click();
    const auto split = SegmentFiles::Import(dir.filePath("split.cue"), source, 8000, 802400);
    ASSERT_EQ(split.size(), 4u);
    EXPECT_EQ(split[3].begin, 90 * 8000);
    EXPECT_EQ(split[3].end, 802400);
}

// The rows of the cue sheet import as it shows them.
QStringList previewRows(const Tfm_cue& preview) {
    QStringList rows;
    for (int r = 0; r < preview.lv_tracks->rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < preview.lv_tracks->columnCount(); ++c)
            cells << preview.lv_tracks->item(r, c)->text();
        rows << cells.join('|');
    }
    return rows;
}

// A cue sheet shows what it will cut before anything is marked: its tracks
// with exact times, the encoding it was read in, which the user may change,
// and where the audio before track 1 goes. Cancelled, nothing is marked.
TEST_F(MainWindowJobsTest, ACueSheetShowsWhatItCutsBeforeItMarks) {
    const QString source = ogg("disc.ogg", 20.0);
    addFiles({source});
    QFile sheet(dir.filePath("disc.cue"));
    ASSERT_TRUE(sheet.open(QIODevice::WriteOnly));
    QStringEncoder cyrillic("windows-1251");
    sheet.write(cyrillic.encode(QStringLiteral(
        "PERFORMER \"Группа\"\nFILE \"disc.wav\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"Трек 01\"\n"
        "    INDEX 00 00:00:00\n    INDEX 01 00:02:00\n  TRACK 02 AUDIO\n    TITLE \"Второй\"\n"
        "    PERFORMER \"Гость\"\n    INDEX 01 00:10:30\n")));
    sheet.close();

    QStringList shown;
    desktop.onModal = [&](QWidget& dialog) {
        auto* preview = dynamic_cast<Tfm_cue*>(&dialog);
        if (!preview)
            return 0;
        EXPECT_TRUE(preview->cb_encoding->isEnabled());
        preview->cb_encodingActivated("WINDOWS-1251");
        EXPECT_EQ(preview->cb_encoding->currentText(), "WINDOWS-1251");
        shown = previewRows(*preview);
        // A name that is no encoding leaves the sheet as it was read.
        preview->cb_encodingActivated("NO-SUCH-CODE");
        EXPECT_EQ(previewRows(*preview), shown);
        EXPECT_TRUE(preview->rg_pregap->isEnabled());
        preview->rg_pregap->setItemIndex(1);
        shown += previewRows(*preview);
        return static_cast<int>(QDialog::Accepted);
    };
    desktop.openFilesAnswers.push_back({sheet.fileName()});
    main->ImportSegments1Click();
    EXPECT_EQ(shown, (QStringList{"01|Трек 01|Группа|00:00:00.000|00:00:10.400|00:00:10.400",
                                  "02|Второй|Гость|00:00:10.400|00:00:20.000|00:00:09.600",
                                  "00|Pregap|Группа|00:00:00.000|00:00:02.000|00:00:02.000",
                                  "01|Трек 01|Группа|00:00:02.000|00:00:10.400|00:00:08.400",
                                  "02|Второй|Гость|00:00:10.400|00:00:20.000|00:00:09.600"}));
    EXPECT_EQ(desktop.informations.size(), 1);
    // What the import showed last is what is marked.
    const auto& pieces = main->state().JobList[0].Pieces;
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_EQ(pieces[1].begin, 2 * 8000);
    EXPECT_EQ(pieces[1].tags.title, "Трек 01");
    EXPECT_EQ(main->state().JobList[0].Sheet.artist, "Группа");

    const QStringList before = segmentRows();
    desktop.onModal = [](QWidget&) { return static_cast<int>(QDialog::Rejected); };
    desktop.openFilesAnswers.push_back({sheet.fileName()});
    main->ImportSegments1Click();
    EXPECT_EQ(segmentRows(), before);
}

// A CD image's own sheet is offered first; it is Unicode, so there is no
// encoding to choose, and its tracks start at INDEX 01.
TEST_F(MainWindowJobsTest, ACdImageOffersTheSheetItCarries) {
    const CdImages::File& image = CdImages::Shared().files().front();
    if (image.path.isEmpty())
        GTEST_SKIP() << image.skipped.toStdString() << image.failure.toStdString();
    addFiles({image.path});
    desktop.confirmAnswers.push_back(true);
    QStringList shown;
    desktop.onModal = [&](QWidget& dialog) {
        auto* preview = dynamic_cast<Tfm_cue*>(&dialog);
        if (!preview)
            return 0;
        EXPECT_FALSE(preview->cb_encoding->isEnabled());
        shown = previewRows(*preview);
        return static_cast<int>(QDialog::Accepted);
    };
    main->ImportSegments1Click();
    ASSERT_EQ(desktop.confirmations.size(), 1);
    EXPECT_TRUE(desktop.confirmations[0].contains("carries its own cue sheet"));
    ASSERT_EQ(shown.size(), 3) << shown.join('\n').toStdString();
    EXPECT_EQ(shown[1], "02|||00:00:05.400|00:00:09.000|00:00:03.600");
    const auto& pieces = main->state().JobList[0].Pieces;
    ASSERT_EQ(pieces.size(), 3u);
    for (size_t k = 1; k < 3; ++k)
        EXPECT_EQ(pieces[k].begin, CdImages::Index01[k]) << k;
    EXPECT_EQ(pieces[1].tags.isrc, CdImages::Isrc[1]);
}

TEST_F(MainWindowJobsTest, ChaptersInTheSourceBecomeItsSegments) {
    addFiles({ogg("book.ogg", 12.5,
                  {"CHAPTER000=00:00:00.000", "CHAPTER000NAME=Opening", "CHAPTER001=00:00:07.250",
                   "CHAPTER001NAME=Close"}),
              ogg("plain.ogg", 3.0)});
    main->ChapterSegments1Click();
    EXPECT_EQ(segmentRows(), (QStringList{"00:00:00 - 00:00:07.25|00:00:07.25|OK|Opening",
                                          "00:00:07.25 - 00:00:12.50|00:00:05.25|OK|Close",
                                          "00:00:00 - 00:00:12|00:00:12|Uncertain"}));
    selectFile(1);
    main->ChapterSegments1Click();
    EXPECT_EQ(desktop.informations, QStringList{"plain.ogg holds no chapters."});
    EXPECT_EQ(lvTime().count(), 1);
}

TEST_F(MainWindowJobsTest, MarksAreRefusedWhenSplittingByTime) {
    main->state().FunctionChoice = FunctionSplitByTime;
    addFiles({ogg("piece.ogg", 125.2)});
    EXPECT_EQ(lvTime().count(), 3);
    click("Begin");
    click("Ok");
    const QString message =
        "Only chose \"Custom\" or \"unification\" function, this button is usable.";
    EXPECT_EQ(desktop.informations, (QStringList{message, message}));
    EXPECT_EQ(total(), "00:02:05");
}

TEST_F(MainWindowJobsTest, RowsMoveAndGoThroughTheSkinAndMenus) {
    addFiles({ogg("a.ogg", 1.5, {"TITLE=A"}), ogg("b.ogg", 2.5, {"TITLE=B"}),
              ogg("c.ogg", 3.5, {"TITLE=C"})});
    selectFile(2);
    click("Up");
    EXPECT_EQ(captions(), (QStringList{"A", "C", "B"}));
    main->FileUp1Click();
    EXPECT_EQ(captions(), (QStringList{"C", "A", "B"}));
    main->UP1Click();
    EXPECT_EQ(captions(), (QStringList{"C", "A", "B"}));
    EXPECT_EQ(main->state().JobList[0].Tags.Title, "C");
    EXPECT_EQ(QFileInfo(main->state().JobList[0].FileName).fileName(), "c.ogg");

    click("Down");
    EXPECT_EQ(captions(), (QStringList{"A", "C", "B"}));
    selectFile(2);
    click("Remove");
    EXPECT_EQ(captions(), (QStringList{"A", "C"}));
    EXPECT_EQ(selectedFile(), 0);
    // The two whole files as the run writes them, 1.5 and 3.5 seconds.
    EXPECT_EQ(total(), "00:00:05");
    main->Clear2Click();
    EXPECT_EQ(lv().count(), 0);
    EXPECT_EQ(lvTime().count(), 0);
    EXPECT_TRUE(main->sm->isVisibleTo(main.get()));
}

TEST_F(MainWindowJobsTest, TwelfthRowNarrowsTheNameColumnOfTheView) {
    QStringList files;
    for (int i = 0; i < 12; ++i)
        files.append(ogg(QStringLiteral("f%1.ogg").arg(i, 2, 10, QLatin1Char('0')), 1.1));
    addFiles(files);
    EXPECT_EQ(lv().count(), 12);
    EXPECT_EQ(main->lv->columnWidth(0), 123);
    click("Remove");
    EXPECT_EQ(main->lv->columnWidth(0), 143);
}

TEST_F(MainWindowJobsTest, AddPathUsesTheFolderDialogInItsAddMode) {
    ogg("music/one.ogg", 2.2, {"TITLE=One"});
    ogg("music/short.ogg", 0.3);
    const QString outputBefore = main->state().OutputDir;
    desktop.onModal = [&](QWidget& dialog) {
        EXPECT_EQ(dialog.windowTitle(), "Add File Directory");
        EXPECT_TRUE(folderDialog->SelectPath(dir.filePath("music")));
        folderDialog->btn_okClick();
        return 1;
    };
    main->AddFolder1Click();
    EXPECT_EQ(desktop.modalCount, 1);
    EXPECT_EQ(captions(), (QStringList{"One"}));
    EXPECT_EQ(desktop.informations, QStringList{"short.ogg this File is Error or not supported."});
    EXPECT_EQ(main->state().JobList[0].SliderRange, 1014);
    EXPECT_EQ(main->state().JobList[0].Tags.Title, "One");
    EXPECT_EQ(main->state().OutputDir, outputBefore);
    EXPECT_EQ(main->edt_dir->text(), outputBefore);
    EXPECT_TRUE(main->state().FolderAddMode);
    EXPECT_TRUE(desktop.errors.isEmpty());

    // Cancelled, nothing more is added.
    desktop.onModal = [&](QWidget&) {
        folderDialog->btn_cancelClick();
        return 0;
    };
    main->AddFolder2Click();
    EXPECT_EQ(lv().count(), 1);
}

// The figures of a walk-through where the display lagged behind: it showed
// 00:01:42 for pieces of 00:02:44, and 00:03:27 where 00:01:52 was written.
TEST_F(MainWindowJobsTest, OutputLengthFollowsTheSettingsAndIsWhatASplitWrites) {
    auto* settings = new Tfm_set(main->dialogContext());
    main->setDialogs(settings, folderDialog.get(), nullptr, nullptr);
    addFiles({ogg("a.ogg", 100.2), ogg("b.ogg", 64.2)});
    for (const auto& [file, end] : {std::pair{0, 60}, {1, 42}}) {
        selectFile(file);
        placeAt(end, file == 0 ? 100 : 64);
        click("End");
        click("Ok");
    }
    EXPECT_EQ(total(), "00:01:42");

    // The function changes at the click, and so does the total.
    desktop.onModal = [&](QWidget&) {
        settings->rb_time->click();
        EXPECT_EQ(total(), "00:02:44");
        settings->Cancel->click();
        return 0;
    };
    click("Settings");
    EXPECT_EQ(total(), "00:02:44");

    addFiles({ogg("c.ogg", 43.2)});
    EXPECT_EQ(total(), "00:03:27");
    // 56 equal pieces: one second each of a and b, none of c.
    desktop.onModal = [&](QWidget&) {
        settings->rb_count->click();
        settings->edt_count->setText("56");
        settings->Ok->click();
        return 1;
    };
    click("Settings");
    EXPECT_EQ(total(), "00:01:52");

    const QString out = dir.filePath("out") + "/";
    main->state().OutputDir = out;
    main->cb_format->setCurrentIndex(1);
    click("Split");
    double written = 0;
    for (const QString& name : QDir(out).entryList(QDir::Files))
        written += decodeWithFfmpeg(out + name).seconds();
    EXPECT_NEAR(written, 112.0, 0.01);
    EXPECT_EQ(total(), "00:01:52");

    // A choice made elsewhere shows at the next click in the list.
    main->state().FunctionChoice = FunctionCustom;
    selectFile(2);
    EXPECT_EQ(total(), "00:02:25");
}

TEST_F(MainWindowJobsTest, NothingIsAddedDuringARun) {
    main->state().Busy = true;
    desktop.openFilesAnswers.push_back({ogg("a.ogg", 1.5)});
    click("addfile");
    main->AddFile1Click();
    EXPECT_EQ(lv().count(), 0);
    main->state().Busy = false;
}

// One file of each format the corpus has, through the open dialog and from
// a folder, each measured as FFmpeg decodes it.
TEST_F(MainWindowJobsTest, EveryCommonFormatIsAddedByTheOpenDialogAndFromAFolder) {
    std::map<QString, const FormatCorpus::File*> byFormat;
    for (const FormatCorpus::File& file : FormatCorpus::Shared().files())
        if (!file.path.isEmpty())
            byFormat.emplace(QFileInfo(file.path).suffix(), &file);
    if (!byFormat.count("mp3") || !byFormat.count("flac"))
        GTEST_SKIP() << "the corpus lacks MP3 or FLAC files";
    const auto expectMeasured = [&](int row, const FormatCorpus::File& file) {
        const listrecord& record = main->state().JobList[static_cast<size_t>(row)];
        EXPECT_EQ(record.SampleCount, file.reference.frames()) << file.name.toStdString();
        EXPECT_EQ(lv().text(row, 1), FormatTime(file.reference.frames() / file.reference.rate));
    };
    addFiles({byFormat["mp3"]->path, byFormat["flac"]->path});
    EXPECT_EQ(desktop.informations, QStringList());
    ASSERT_EQ(lv().count(), 2);
    expectMeasured(0, *byFormat["mp3"]);
    expectMeasured(1, *byFormat["flac"]);

    QDir().mkpath(dir.filePath("music"));
    for (const auto& [suffix, file] : byFormat)
        ASSERT_TRUE(QFile::copy(file->path, dir.filePath("music/" + file->name + "." + suffix)));
    desktop.onModal = [&](QWidget&) {
        EXPECT_TRUE(folderDialog->SelectPath(dir.filePath("music")));
        folderDialog->btn_okClick();
        return 1;
    };
    main->AddFolder1Click();
    EXPECT_EQ(desktop.informations, QStringList());
    ASSERT_EQ(lv().count(), 2 + static_cast<int>(byFormat.size()));
    std::vector<const FormatCorpus::File*> inNameOrder;
    for (const auto& [suffix, file] : byFormat)
        inNameOrder.push_back(file);
    std::sort(inNameOrder.begin(), inNameOrder.end(),
              [](auto* a, auto* b) { return a->name.compare(b->name, Qt::CaseInsensitive) < 0; });
    for (size_t k = 0; k < inNameOrder.size(); ++k)
        expectMeasured(2 + static_cast<int>(k), *inNameOrder[k]);
}

// A folder's playlists, cue sheets, pictures and notes are passed over
// without a word; a file that looks like audio and cannot be read is named.
TEST_F(MainWindowJobsTest, AddFolderPassesOverWhatIsNotAudioAndNamesBrokenAudio) {
    QFile::copy(ogg("music/one.ogg", 2.2), dir.filePath("music/no extension"));
    const std::pair<const char*, QByteArray> others[] = {
        {"list.m3u", "#EXTM3U\n#EXTINF:2,One\none.ogg\n"},
        {"list.pls", "[playlist]\nFile1=one.ogg\nNumberOfEntries=1\nVersion=2\n"},
        {"list.asx", "<asx version=\"3.0\"><entry><ref href=\"one.ogg\"/></entry></asx>\n"},
        {"sheet.cue", "REM GENRE Rock\nFILE \"one.ogg\" WAVE\n  TRACK 01 AUDIO\n"
                      "    INDEX 01 00:00:00\n"},
        {"cover.jpg", QByteArray::fromHex("ffd8ffe000104a46494600010100000100010000ffd9")},
        {"notes.txt", "Recorded live.\n"},
        {"broken.mp3", "not audio at all"}};
    for (const auto& [name, bytes] : others) {
        QFile file(dir.filePath(QStringLiteral("music/") + name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    desktop.onModal = [&](QWidget&) {
        EXPECT_TRUE(folderDialog->SelectPath(dir.filePath("music")));
        folderDialog->btn_okClick();
        return 1;
    };
    main->AddFolder1Click();
    EXPECT_EQ(captions(), (QStringList{"no extension", "one.ogg"}));
    EXPECT_EQ(desktop.informations.join('|').toStdString(),
              "broken.mp3 this File is not supported.");
}

// What Qt says on standard error while one is alive.
class QtMessages {
public:
    QtMessages() {
        seen_ = &messages;
        previous_ = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& text) { seen_->append(text); });
    }
    ~QtMessages() { qInstallMessageHandler(previous_); }
    QStringList messages;

private:
    static inline QStringList* seen_ = nullptr;
    QtMessageHandler previous_;
};

class InPlaceEditTest : public MainWindowJobsTest {
protected:
    void SetUp() override {
        MainWindowJobsTest::SetUp();
        addFiles({ogg("hundred.ogg", 100.3)});
        confirmSegment(10, 20, 100);
        main->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(main.get()));
    }
    // Double-clicks cell (row, 0) of the segment list as a hand does, the
    // first press selecting the row; the editor it opens.
    QLineEdit* doubleClick(int row) {
        QTreeView* view = main->lv_time;
        view->setFocus();
        const QRect cell = view->visualRect(lvTime().index(row, 0));
        QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, cell.center());
        auto* editor = qobject_cast<QLineEdit*>(QApplication::focusWidget());
        return editor && main->lv_time->isAncestorOf(editor) ? editor : nullptr;
    }
};

TEST_F(InPlaceEditTest, ReturnCommitsTheEditAndLeavesTheFocusOnTheList) {
    QtMessages qt;
    const QString folder = main->edt_dir->text();
    QLineEdit* editor = doubleClick(0);
    ASSERT_NE(editor, nullptr);
    editor->selectAll();
    QTest::keyClicks(editor, "00:00:12 - 00:00:18");
    const QPointer<QLineEdit> open = editor;
    QTest::keyClick(editor, Qt::Key_Return);
    // The view closes its editor from the event loop.
    ASSERT_TRUE(QTest::qWaitFor([&] { return !open || !open->isVisible(); }, 10000));
    EXPECT_EQ(segmentRows(), (QStringList{"00:00:12 - 00:00:18|00:00:06|OK|",
                                          "00:00:00 - 00:01:40|00:01:40|Uncertain"}));
    EXPECT_EQ(QApplication::focusWidget(), main->lv_time);
    QTest::keyClicks(QApplication::focusWidget(), "z");
    EXPECT_EQ(main->edt_dir->text(), folder);
    EXPECT_EQ(qt.messages, QStringList());
}

// The working row, computed pieces and every row during a run cannot
// change: a double click there only selects, as a click does.
TEST_F(InPlaceEditTest, RowsThatCannotChangeOpenNoEditor) {
    EXPECT_EQ(doubleClick(1), nullptr);
    EXPECT_EQ(main->state().CurrentSegment, 1);
    EXPECT_TRUE(main->state().SegmentFocus);

    main->state().Busy = true;
    EXPECT_EQ(doubleClick(0), nullptr);
    EXPECT_EQ(main->state().CurrentSegment, 0);
    main->state().Busy = false;

    main->state().FunctionChoice = FunctionSplitByTime;
    selectFile(0);
    ASSERT_EQ(status(0), "Unconvert");
    EXPECT_EQ(doubleClick(0), nullptr);
    main->state().FunctionChoice = FunctionCustom;
    selectFile(0);
    EXPECT_NE(doubleClick(0), nullptr) << "a confirmed segment still opens one";
}

} // namespace
