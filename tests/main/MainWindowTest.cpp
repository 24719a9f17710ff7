// The main window as the user meets it: the skin's buttons and the popup
// menus reach their operations only when their guards allow, the lists and
// fields look as they should, and the window shows the skin as drawn.
#include "app/Tfm_main.h"
#include "app/skin/Skin.h"
#include "core/JobListModel.h"
#include "core/ReportListModel.h"
#include "engine/RunSteps.h"
#include "platform/MulDiv.h"
#include "platform/SettingsFile.h"
#include "tests/support/MainWindowFixture.h"

#include <QAction>
#include <QComboBox>
#include <QDialog>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QMenu>
#include <QPainter>
#include <QPlainTextEdit>
#include <QSvgRenderer>
#include <QTest>
#include <QTreeView>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

// Readable failure messages for texts and lists of texts.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace {

// A file of `seconds` on the list, as adding would leave it.
listrecord listedFile(const QString& name, std::int32_t seconds) {
    listrecord job;
    job.FileName = QStringLiteral("/music/") + name;
    job.Caption = name;
    job.Duration = seconds;
    job.SliderRange = 1084;
    job.SampleRate = 44100;
    job.SampleCount = std::int64_t{seconds} * job.SampleRate;
    job.BeginTimes = {0};
    job.EndTimes = {seconds};
    return job;
}

const QString DefaultSkin = QStringLiteral(TARNWELL_BIN_DIR "/mp3enc.dll");

// The main window with every operation replaced by a recorder, and the runs
// taken as its run steps, so the dispatch can be watched on its own.
class RecordingMain : public Tfm_main, public RunSteps {
public:
    RecordingMain(Desktop& desktop, const QString& settingsPath) : Tfm_main(desktop, settingsPath) {
        setRunSteps(this);
    }

    QStringList calls;
    bool joinAnswer = true;
    // A run sets Busy as the real ones do.
    bool runsSetBusy = false;
    QStringList popups;
    std::vector<QPoint> popupPoints;

    void AddFiles() override { calls << "AddFiles"; }
    void AddFolder() override { calls << "AddFolder"; }
    void RemoveFile() override { calls << "RemoveFile"; }
    void ClearFiles() override { calls << "ClearFiles"; }
    void MoveFileUp() override { calls << "MoveFileUp"; }
    void MoveFileDown() override { calls << "MoveFileDown"; }
    void lvClick() override { calls << "lvClick"; }
    void ShowTotalTime() override { calls << "ShowTotalTime"; }
    void lv_timeClick() override { calls << "lv_timeClick"; }
    void lv_timeDblClick() override { calls << "lv_timeDblClick"; }
    void RemoveSegment() override { calls << "RemoveSegment"; }
    void ClearSegments() override { calls << "ClearSegments"; }
    void MarkBegin() override { calls << "MarkBegin"; }
    void MarkEnd() override { calls << "MarkEnd"; }
    void ConfirmSegment() override { calls << "ConfirmSegment"; }
    void PlayFile() override { calls << "PlayFile"; }
    void PlaySegment() override { calls << "PlaySegment"; }
    void StopPlayback() override {
        calls << "StopPlayback";
        state().Playing = false;
    }
    void StepBack() override { calls << "StepBack"; }
    void StepForward() override { calls << "StepForward"; }
    void Skin1MouseDown(const QString& name) override { calls << "MouseDown " + name; }
    void Skin1MouseUp(const QString& name) override { calls << "MouseUp " + name; }
    void Skin1ScrollTrack(const QString& name, int pos) override {
        calls << QStringLiteral("ScrollTrack %1 %2").arg(name).arg(pos);
    }
    void RunSplit(PiecePlan::Mode mode) override {
        static const char* const names[] = {"RunCustomSplit", "RunTimeSplit", "RunCountSplit",
                                            "RunUnifiedSplit", "RunSilenceSplit"};
        run(names[static_cast<int>(mode)]);
    }
    bool ChooseJoinOutput() override {
        calls << "ChooseJoinOutput";
        return joinAnswer;
    }
    // Named as the join the plan makes of the mode.
    void RunJoin(PiecePlan::Mode mode) override {
        run(!PiecePlan::CutsSegments(mode)    ? "RunWholeJoin"
            : PiecePlan::SharesSegments(mode) ? "UnifiAudoJoiner"
                                              : "RunCustomJoin");
    }
    void ShowTagEditor() override { calls << "ShowTagEditor"; }

protected:
    void popupMenu(QMenu* menu, QPoint at) override {
        popups << menu->objectName();
        popupPoints.push_back(at);
    }

private:
    void run(const char* name) {
        calls << name;
        if (runsSetBusy)
            state().Busy = true;
    }
};

class MainWindowTest : public MainWindowFixture {
protected:
    QDialog settingsDialog;
    QDialog tagEditor;
    QWidget aboutBox;
    QStringList modals;
    RecordingMain* rec = nullptr;

    void SetUp() override {
        settingsDialog.setObjectName("fm_set");
        desktop.onModal = [this](QWidget& dialog) {
            modals << dialog.objectName() + ":" + dialog.windowTitle();
            return 0;
        };
        MainWindowFixture::SetUp();
        attachDialogs();
        rec->calls.clear();
    }
    std::unique_ptr<Tfm_main> makeWindow() override {
        auto window = std::make_unique<RecordingMain>(desktop, settingsPath());
        rec = window.get();
        return window;
    }
    void attachDialogs() {
        main->setDialogs(&settingsDialog, folderDialog.get(), &aboutBox, &tagEditor);
    }

    AppState& state() { return main->state(); }
    void addRow() { main->lvModel().append(listedFile("song.ogg", 100)); }

    // What one click does: the operations called and where it went.
    QStringList effects(const char* name) {
        rec->calls.clear();
        rec->popups.clear();
        rec->popupPoints.clear();
        modals.clear();
        desktop.openedUrls.clear();
        mouseClick(name);
        // Every press reports down and up; the preview reacts to those on
        // the slider only, and the dispatch is what is watched here.
        QStringList all;
        for (const QString& call : rec->calls)
            if (!call.startsWith("Mouse"))
                all << call;
        for (const QString& p : rec->popups)
            all << "popup " + p;
        for (const QString& m : modals)
            all << "modal " + m;
        for (const QUrl& u : desktop.openedUrls)
            all << "open " + u.toString();
        return all;
    }
    void trigger(const char* handler) {
        QAction* action = main->findChild<QAction*>(handler);
        ASSERT_NE(action, nullptr) << handler;
        action->trigger();
    }
    QStringList menuEffects(const char* handler) {
        rec->calls.clear();
        modals.clear();
        desktop.openedUrls.clear();
        trigger(handler);
        QStringList all = rec->calls;
        for (const QString& m : modals)
            all << "modal " + m;
        for (const QUrl& u : desktop.openedUrls)
            all << "open " + u.toString();
        return all;
    }
    QString outputUrl() { return "open " + QUrl::fromLocalFile(state().OutputDir).toString(); }
};

TEST_F(MainWindowTest, EveryUnguardedAndIdleCommandReachesItsOperation) {
    addRow();
    const QString help =
        "open " + QUrl::fromLocalFile(QCoreApplication::applicationDirPath() + "/help/Ostrel.html")
                      .toString();
    EXPECT_EQ(effects("file"), QStringList({"popup p_file"}));
    EXPECT_EQ(effects("action"), QStringList({"popup p_action"}));
    EXPECT_EQ(effects("Settings"), QStringList({"modal fm_set:"}));
    EXPECT_EQ(effects("Help"), QStringList({"popup p_help"}));
    EXPECT_EQ(effects("addfile"), QStringList({"AddFiles"}));
    EXPECT_EQ(effects("Up"), QStringList({"MoveFileUp"}));
    EXPECT_EQ(effects("Down"), QStringList({"MoveFileDown"}));
    EXPECT_EQ(effects("Remove"), QStringList({"RemoveFile", "ShowTotalTime"}));
    EXPECT_EQ(effects("Clear"), QStringList({"ClearFiles", "ShowTotalTime"}));
    EXPECT_EQ(effects("Set"), QStringList({"modal fm_set:"}));
    EXPECT_EQ(effects("play"), QStringList({"PlayFile"}));
    EXPECT_EQ(effects("stop"), QStringList()) << "nothing plays";
    EXPECT_EQ(effects("hou"), QStringList({"StepBack"}));
    EXPECT_EQ(effects("qian"), QStringList({"StepForward"}));
    EXPECT_EQ(effects("Split"), QStringList({"RunCustomSplit", "ShowTotalTime", outputUrl()}));
    EXPECT_EQ(effects("Join"),
              QStringList({"ChooseJoinOutput", "RunCustomJoin", "ShowTotalTime", outputUrl()}));
    EXPECT_EQ(effects("Begin"), QStringList({"MarkBegin"}));
    EXPECT_EQ(effects("End"), QStringList({"MarkEnd"}));
    EXPECT_EQ(effects("Ok"), QStringList({"ConfirmSegment"}));
    EXPECT_EQ(effects("Stop"), QStringList()) << "nothing plays or runs";
    EXPECT_EQ(effects("helpfile"), QStringList({help}));
    EXPECT_TRUE(QFile::exists(QCoreApplication::applicationDirPath() + "/help/Ostrel.html"));
    EXPECT_EQ(effects("dir"), QStringList({"modal fm_dir:Output Directory"}));
    EXPECT_EQ(state().FolderDialogMode, AppState::FolderMode::Output);
}

TEST_F(MainWindowTest, WhenNothingOpensWhatWasAskedForTheUserIsToldWhereItIs) {
    addRow();
    state().OutputDir = dir.path() + "/out/";
    desktop.launcherWorks = false;
    mouseClick("Split");
    mouseClick("helpfile");
    trigger("HomePage1Click");
    ASSERT_EQ(desktop.informations.size(), 3);
    EXPECT_TRUE(desktop.informations[0].contains("the output folder"))
        << desktop.informations[0].toStdString();
    EXPECT_TRUE(desktop.informations[0].contains(state().OutputDir));
    EXPECT_TRUE(desktop.informations[1].contains("the user guide"));
    EXPECT_TRUE(desktop.informations[1].contains(QCoreApplication::applicationDirPath() +
                                                 "/help/Ostrel.html"));
    EXPECT_TRUE(desktop.informations[2].contains("https://tarnwell.org/"));
    for (Desktop::Severity severity : desktop.severities)
        EXPECT_EQ(severity, Desktop::Severity::Critical);

    desktop.launcherWorks = true;
    mouseClick("helpfile");
    EXPECT_EQ(desktop.informations.size(), 3) << "nothing to tell when it opens";
}

TEST_F(MainWindowTest, DuringARunOnlyTheUnguardedCommandsAct) {
    addRow();
    state().Busy = true;
    for (const char* name : {"file", "action", "addfile", "Remove", "Clear", "play", "hou", "qian",
                             "Split", "Join", "Begin", "End", "Ok"})
        EXPECT_EQ(effects(name), QStringList()) << name;
    EXPECT_EQ(effects("Settings"), QStringList({"modal fm_set:"}));
    EXPECT_EQ(effects("Set"), QStringList({"modal fm_set:"}));
    EXPECT_EQ(effects("Help"), QStringList({"popup p_help"}));
    EXPECT_EQ(effects("dir"), QStringList({"modal fm_dir:Output Directory"}));
    EXPECT_EQ(effects("helpfile").size(), 1);
    // The moves test Busy themselves.
    EXPECT_EQ(effects("Up"), QStringList({"MoveFileUp"}));
    EXPECT_EQ(effects("Down"), QStringList({"MoveFileDown"}));
    EXPECT_TRUE(state().Busy);
    state().Playing = true;
    EXPECT_EQ(effects("stop"), QStringList({"StopPlayback"}));
    state().Playing = true;
    EXPECT_EQ(effects("Stop"), QStringList({"StopPlayback"}));
    EXPECT_FALSE(state().Busy) << "Stop ends the run";
}

TEST_F(MainWindowTest, FocusAndFunctionChoiceSteerRemoveClearAndPlay) {
    addRow();
    state().SegmentFocus = true;
    EXPECT_EQ(effects("Remove"), QStringList({"RemoveSegment", "ShowTotalTime"}));
    EXPECT_EQ(effects("Clear"), QStringList({"ClearSegments", "ShowTotalTime"}));
    const std::pair<int, const char*> plays[] = {
        {FunctionCustom, "PlaySegment"},
        {FunctionSplitByTime, "PlayFile"},
        {FunctionSplitByCount, "PlayFile"},
        {FunctionUnification, "PlaySegment"},
    };
    for (auto [choice, expected] : plays) {
        state().FunctionChoice = choice;
        EXPECT_EQ(effects("play"), QStringList({expected})) << choice;
    }
    state().SegmentFocus = false;
    state().FunctionChoice = FunctionUnification;
    EXPECT_EQ(effects("play"), QStringList({"PlayFile"}));
}

TEST_F(MainWindowTest, SplitAndJoinRunTheChosenFunctionAfterStoppingThePreview) {
    EXPECT_EQ(effects("Split"), QStringList()) << "empty list";
    addRow();
    rec->runsSetBusy = true;
    const std::pair<int, const char*> splits[] = {{FunctionCustom, "RunCustomSplit"},
                                                  {FunctionSplitByTime, "RunTimeSplit"},
                                                  {FunctionSplitByCount, "RunCountSplit"},
                                                  {FunctionUnification, "RunUnifiedSplit"},
                                                  {FunctionSplitAtSilences, "RunSilenceSplit"}};
    for (auto [choice, run] : splits) {
        state().FunctionChoice = choice;
        state().Busy = false;
        state().Playing = true;
        EXPECT_EQ(effects("Split"),
                  QStringList({"StopPlayback", run, "ShowTotalTime", outputUrl()}))
            << choice;
    }
    const std::pair<int, const char*> joins[] = {{FunctionCustom, "RunCustomJoin"},
                                                 {FunctionSplitByTime, "RunWholeJoin"},
                                                 {FunctionSplitByCount, "RunWholeJoin"},
                                                 {FunctionUnification, "UnifiAudoJoiner"},
                                                 {FunctionSplitAtSilences, "RunWholeJoin"}};
    for (auto [choice, run] : joins) {
        state().FunctionChoice = choice;
        state().Busy = false;
        state().Playing = true;
        EXPECT_EQ(effects("Join"), QStringList({"StopPlayback", "ChooseJoinOutput", run,
                                                "ShowTotalTime", outputUrl()}))
            << choice;
        EXPECT_FALSE(state().Busy) << "a join always ends idle";
    }
    state().Busy = false;
    rec->joinAnswer = false;
    EXPECT_EQ(effects("Join"), QStringList({"ChooseJoinOutput"})) << "save dialog cancelled";
}

TEST_F(MainWindowTest, OtherNamesAndOtherSpellingsDoNothing) {
    addRow();
    for (const char* name :
         {"pb", "timecaption", "tataltime", "convertpb", "FILE", "split", "ok", "lv", ""}) {
        rec->calls.clear();
        click(name);
        EXPECT_TRUE(rec->calls.isEmpty()) << name;
        EXPECT_TRUE(rec->popups.isEmpty()) << name;
    }
    EXPECT_TRUE(modals.isEmpty());
    EXPECT_TRUE(desktop.openedUrls.empty());
}

TEST_F(MainWindowTest, PopupsOpenAtTheirOffsetsFromTheWindowCorner) {
    const QPoint corner = main->mapToGlobal(QPoint(0, 0));
    mouseClick("file");
    mouseClick("action");
    mouseClick("Help");
    EXPECT_EQ(rec->popups, QStringList({"p_file", "p_action", "p_help"}));
    ASSERT_EQ(rec->popupPoints.size(), 3u);
    EXPECT_EQ(rec->popupPoints[0], corner + QPoint(179, 32));
    EXPECT_EQ(rec->popupPoints[1], corner + QPoint(211, 32));
    EXPECT_EQ(rec->popupPoints[2], corner + QPoint(383, 32));
}

TEST_F(MainWindowTest, MenusHoldTheirItemsInOrderWithIcons) {
    auto items = [](QMenu* menu) {
        QStringList out;
        for (QAction* a : menu->actions()) {
            out << (a->isSeparator() ? QStringLiteral("-") : a->text() + "=" + a->objectName());
            if (!a->isSeparator()) {
                EXPECT_FALSE(a->icon().isNull()) << a->text().toStdString();
            }
        }
        return out;
    };
    EXPECT_EQ(items(main->p_lv), QStringList({"Add File=AddFile1Click", "Add Path=AddFolder1Click",
                                              "-", "Clear=Clear1Click", "Remove=Remove1Click", "-",
                                              "ID3 info=ID3info1Click", "-", "UP=UP1Click",
                                              "Down=Down1Click", "-", "Stop=Stop1Click"}));
    EXPECT_EQ(items(main->p_file),
              QStringList({"Add File=AddFile2Click", "Add Folder=AddFolder2Click", "-",
                           "Import segments…=ImportSegments1Click",
                           "Segments from chapters=ChapterSegments1Click",
                           "Export segments…=ExportSegments1Click", "-", "Remove=Remove2Click", "-",
                           "Exit=Exit1Click"}));
    EXPECT_EQ(items(main->p_action),
              QStringList({"File Up=FileUp1Click", "File Down=FileDown1Click", "-",
                           "Remove=Remove3Click", "Clear=Clear2Click", "-", "ID3 info=ID31Click",
                           "Edit waveform…=EditWaveform1Click", "-", "Cutter=Start1Click",
                           "Stop=Stop2Click"}));
    EXPECT_EQ(items(main->p_help),
              QStringList({"Content=Content1Click", "-", "HomePage=HomePage1Click", "-",
                           "About=About1Click"}));
}

// Contrast as the web's accessibility rules measure it: 1 (none) to 21.
double contrast(const QColor& a, const QColor& b) {
    const auto luminance = [](const QColor& c) {
        const auto channel = [](double v) {
            return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
        };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) +
               0.0722 * channel(c.blueF());
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

// Each icon as the skinned menu draws it, on the menu and under the mouse:
// enough of it must stand out from what is behind it.
TEST_F(MainWindowTest, EveryMenuIconReadsOnTheSkinsMenuColours) {
    for (QMenu* menu : {main->p_lv, main->p_file, main->p_action, main->p_help}) {
        menu->popup(QPoint(0, 0));
        QCoreApplication::processEvents();
        for (QAction* action : menu->actions()) {
            if (action->isSeparator())
                continue;
            for (const bool selected : {false, true}) {
                menu->setActiveAction(selected ? action : nullptr);
                QCoreApplication::processEvents();
                const QImage image = menu->grab().toImage();
                const QRect row = menu->actionGeometry(action);
                const QColor behind = image.pixelColor(row.left() + 1, row.center().y());
                int standingOut = 0;
                for (int y = row.top(); y <= row.bottom(); ++y)
                    for (int x = row.left(); x < row.left() + 24; ++x)
                        if (contrast(image.pixelColor(x, y), behind) >= 3.0)
                            ++standingOut;
                EXPECT_GE(standingOut, 12)
                    << action->text().toStdString() << (selected ? " selected" : "");
            }
        }
        menu->hide();
    }
}

TEST_F(MainWindowTest, MenuItemsActUnderTheirGuards) {
    addRow();
    for (const char* add : {"AddFile1Click", "AddFile2Click"})
        EXPECT_EQ(menuEffects(add), QStringList({"AddFiles"})) << add;
    for (const char* add : {"AddFolder1Click", "AddFolder2Click"})
        EXPECT_EQ(menuEffects(add), QStringList({"AddFolder"})) << add;
    for (const char* clear : {"Clear1Click", "Clear2Click"})
        EXPECT_EQ(menuEffects(clear), QStringList({"ClearFiles"})) << clear;
    for (const char* remove : {"Remove1Click", "Remove2Click", "Remove3Click"})
        EXPECT_EQ(menuEffects(remove), QStringList({"RemoveFile"})) << remove;
    for (const char* up : {"UP1Click", "FileUp1Click"})
        EXPECT_EQ(menuEffects(up), QStringList({"MoveFileUp"})) << up;
    for (const char* down : {"Down1Click", "FileDown1Click"})
        EXPECT_EQ(menuEffects(down), QStringList({"MoveFileDown"})) << down;
    for (const char* tags : {"ID3info1Click", "ID31Click"})
        EXPECT_EQ(menuEffects(tags), QStringList({"ShowTagEditor"})) << tags;
    EXPECT_EQ(menuEffects("Start1Click"), QStringList({"RunCustomSplit", "ShowTotalTime"}))
        << "Cutter opens no folder";
    EXPECT_EQ(menuEffects("Content1Click").size(), 1);
    EXPECT_EQ(menuEffects("HomePage1Click"), QStringList({"open https://tarnwell.org/"}));

    // With the segment list focused, the menus' Remove does nothing while
    // their Clear clears the segments.
    state().SegmentFocus = true;
    for (const char* remove : {"Remove1Click", "Remove2Click", "Remove3Click"})
        EXPECT_EQ(menuEffects(remove), QStringList()) << remove;
    for (const char* clear : {"Clear1Click", "Clear2Click"})
        EXPECT_EQ(menuEffects(clear), QStringList({"ClearSegments"})) << clear;
    state().SegmentFocus = false;

    // During a run.
    state().Busy = true;
    for (const char* refused :
         {"AddFile1Click", "AddFile2Click", "AddFolder1Click", "AddFolder2Click", "Clear1Click",
          "Clear2Click", "Remove1Click", "Remove2Click", "Remove3Click", "Start1Click"})
        EXPECT_EQ(menuEffects(refused), QStringList()) << refused;
    EXPECT_EQ(menuEffects("UP1Click"), QStringList({"MoveFileUp"}));
    EXPECT_EQ(menuEffects("ID3info1Click"), QStringList({"ShowTagEditor"}));
    EXPECT_EQ(menuEffects("HomePage1Click").size(), 1);
    state().Playing = true;
    EXPECT_EQ(menuEffects("Stop1Click"), QStringList({"StopPlayback"}));
    EXPECT_FALSE(state().Busy);
    state().Busy = true;
    EXPECT_EQ(menuEffects("Stop2Click"), QStringList());
    EXPECT_FALSE(state().Busy);

    // Cutter with an empty list does nothing.
    main->lvModel().clear();
    EXPECT_EQ(menuEffects("Start1Click"), QStringList());
}

TEST_F(MainWindowTest, AboutOpensBesideTheWindowAndExitClosesIt) {
    trigger("About1Click");
    EXPECT_TRUE(aboutBox.isVisible());
    EXPECT_FALSE(aboutBox.isModal());
    EXPECT_TRUE(main->isVisible()) << "the main window stays usable";

    state().FunctionChoice = FunctionSplitByCount;
    trigger("Exit1Click");
    EXPECT_FALSE(main->isVisible());
    EXPECT_EQ(SettingsFile(dir.filePath("Velmora.ini")).ReadInteger("Function", "Choice", -1), 2);
}

TEST_F(MainWindowTest, ClosingDuringARunStopsItAndSavesTheSettings) {
    state().Busy = true;
    state().SplitSeconds = 42;
    main->SetRunProgress(5000);
    main->close();
    EXPECT_FALSE(state().Busy);
    const SkinRect bar = main->skinObjects().convertpbElement->GetRect();
    EXPECT_EQ(bar.right, bar.left) << "the run bar is emptied";
    EXPECT_EQ(SettingsFile(dir.filePath("Velmora.ini")).ReadInteger("Choice", "time", -1), 42);
}

TEST_F(MainWindowTest, TheOutputFormatIsKeptFromOneStartToTheNext) {
    main->cb_format->setCurrentIndex(3);
    main->close();
    EXPECT_EQ(SettingsFile(dir.filePath("Velmora.ini")).ReadInteger("Format", "Output", -1), 3);
    open();
    attachDialogs();
    EXPECT_EQ(main->cb_format->currentText(), "OGG");
}

TEST_F(MainWindowTest, ListsFieldsAndHelpTextAreSetUpOnShow) {
    EXPECT_EQ(main->windowTitle(), "Tarnwell");
    EXPECT_EQ(main->size(), QSize(521, 380));
    EXPECT_EQ(main->edt_dir->text(), state().OutputDir);
    EXPECT_TRUE(state().OutputDir.endsWith('/'));
    EXPECT_FALSE(state().Busy || state().Playing || state().Seeking || state().SegmentFocus);
    EXPECT_EQ(state().CurrentSegment, 0);
    EXPECT_EQ(main->skinObjects().pb->GetPosition(), 0);
    EXPECT_EQ(main->skinObjects().pbpos, main->Skin1->FindObject("pbpos"));

    auto columns = [](QTreeView* view) {
        QStringList out;
        for (int c = 0; c < view->model()->columnCount(); ++c)
            out << view->model()->headerData(c, Qt::Horizontal).toString() + "/" +
                       QString::number(view->columnWidth(c));
        return out;
    };
    EXPECT_EQ(columns(main->lv), QStringList({"File name/143", "Time/61"}));
    EXPECT_EQ(columns(main->lv_time),
              QStringList({"Begin Time - End Time/120", "Length/55", "Status/70", "Title/120"}));
    // Only a piece's title is typed in place.
    EXPECT_EQ(main->lv_time->editTriggers(),
              QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed);
    EXPECT_EQ(main->lv->editTriggers(), QAbstractItemView::NoEditTriggers);
    for (QTreeView* view : {main->lv, main->lv_time}) {
        EXPECT_FALSE(view->rootIsDecorated());
        EXPECT_EQ(view->selectionBehavior(), QAbstractItemView::SelectRows);
        EXPECT_FALSE(view->header()->sectionsClickable());
        EXPECT_FALSE(view->isSortingEnabled());
        EXPECT_EQ(view->contextMenuPolicy(), Qt::CustomContextMenu);
    }

    QStringList expected = {"", ""};
    const QString indent(7, ' ');
    expected << indent + "1. Click \"Add\" to add files you want to convert"
             << indent + "2. Set begin-time/end-time for every file.            "
             << indent + "3. Click \"OK\" button to notarize." << indent + "4. Set Output Format"
             << indent + "5. To cut piece from one big audio file, Click \"Cutter\""
             << indent + "6. To terminate the conversion, click \"Stop\" button. "
             << " ";
    EXPECT_EQ(main->sm->toPlainText().split('\n'), expected);
    EXPECT_TRUE(main->sm->isVisible());
    EXPECT_TRUE(main->sm->isReadOnly());
    EXPECT_FALSE(main->sm->isEnabled());

    QStringList formats;
    for (int i = 0; i < main->cb_format->count(); ++i)
        formats << main->cb_format->itemText(i);
    EXPECT_EQ(formats, QStringList({"MP3", "WAV", "WMA", "OGG", "FLAC", "Opus", "M4A"}));
    EXPECT_EQ(main->cb_format->currentIndex(), 0);
}

TEST_F(MainWindowTest, ClicksInTheListsAndDragsOnTheSliderReachTheirHandlers) {
    addRow();
    main->lvTimeModel().append({"00:00:00 - 00:01:40", "00:01:40", "Uncertain"});
    const QRect row = main->lv->visualRect(main->lvModel().index(0, 0));
    QTest::mouseClick(main->lv->viewport(), Qt::LeftButton, {}, row.center());
    const QRect segment = main->lv_time->visualRect(main->lvTimeModel().index(0, 0));
    QTest::mouseClick(main->lv_time->viewport(), Qt::LeftButton, {}, segment.center());
    QTest::mouseDClick(main->lv_time->viewport(), Qt::LeftButton, {}, segment.center());
    EXPECT_EQ(rec->calls.first(), "lvClick");
    EXPECT_TRUE(rec->calls.contains("lv_timeClick"));
    EXPECT_TRUE(rec->calls.contains("lv_timeDblClick"));

    rec->calls.clear();
    SkinObject* pb = main->Skin1->FindObject("pb");
    pb->SetMax(1084);
    pb->SetThumbSize(168);
    const QRect r = pb->currentRect();
    QTest::mousePress(main->Skin1, Qt::LeftButton, {}, QPoint(r.right() - 1, r.center().y()));
    QTest::mouseRelease(main->Skin1, Qt::LeftButton, {}, QPoint(r.right() - 1, r.center().y()));
    EXPECT_EQ(rec->calls, QStringList({"MouseDown pb", "ScrollTrack pb 916", "MouseUp pb"}));
}

TEST_F(MainWindowTest, RunBarWidthFollowsSkinFlag) {
    ISkinElement* bar = main->skinObjects().convertpbElement;
    const SkinRect base = bar->GetRect();
    auto width = [&] { return bar->GetRect().right - bar->GetRect().left; };
    state().SkinFlag = false;
    main->SetRunProgress(5000);
    EXPECT_EQ(width(), MulDiv(5000, 454, 10000));
    main->SetRunProgress(10000);
    EXPECT_EQ(width(), 0) << "a finished run shows an empty bar";
    main->SetRunProgress(2500);
    main->SetRunProgress(10012);
    EXPECT_EQ(width(), MulDiv(2500, 454, 10000)) << "past 454 pixels the bar stays";
    state().SkinFlag = true;
    main->SetRunProgress(9999);
    EXPECT_EQ(width(), MulDiv(9999, 501, 10000));
    EXPECT_EQ(bar->GetRect().left, base.left);
    EXPECT_EQ(bar->GetRect().top, base.top);
    main->StopRun();
    EXPECT_EQ(width(), 0);
}

TEST_F(MainWindowTest, TheWindowShowsEverySkinObjectWhereTheSkinPutsIt) {
    // The skin file as any SVG viewer draws it.
    QSvgRenderer renderer(DefaultSkin);
    QImage reference(521, 380, QImage::Format_RGB32);
    reference.fill(Qt::black);
    {
        QPainter p(&reference);
        renderer.render(&p);
    }
    const QImage shown = main->grab().toImage().convertToFormat(QImage::Format_RGB32);
    auto differs = [&](const QRect& area) {
        double sum = 0;
        for (int y = area.top(); y <= area.bottom(); ++y)
            for (int x = area.left(); x <= area.right(); ++x) {
                const QColor a(shown.pixel(x, y)), b(reference.pixel(x, y));
                sum += std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) +
                       std::abs(a.blue() - b.blue());
            }
        return sum / (3.0 * area.width() * area.height());
    };
    for (const char* name :
         {"file",  "action", "Settings", "Help", "addfile",  "Up",   "Down",  "Remove",
          "Clear", "Set",    "play",     "stop", "hou",      "qian", "Split", "Join",
          "Begin", "End",    "Ok",       "Stop", "helpfile", "dir"}) {
        const QRectF bounds =
            renderer.transformForElement(name).mapRect(renderer.boundsOnElement(name));
        const QRect area = bounds.toAlignedRect().intersected(QRect(0, 0, 521, 380));
        ASSERT_FALSE(area.isEmpty()) << name;
        EXPECT_LT(differs(area), 4.0) << name;
    }
    // The widgets sit on the places the skin marks for them.
    for (QWidget* widget : std::initializer_list<QWidget*>{main->lv, main->lv_time, main->sm,
                                                           main->edt_dir, main->cb_format}) {
        const QString name = widget->objectName();
        const QRectF bounds = renderer.boundsOnElement(name).adjusted(0.5, 0.5, -0.5, -0.5);
        EXPECT_EQ(widget->geometry(), bounds.toRect()) << name.toStdString();
    }
    // The position text is drawn in its box.
    const QRect box = main->Skin1->FindObject("timecaption")->currentRect();
    EXPECT_GT(differs(box), 0.0);
    main->skinObjects().timecaption->SetText("01:02:03");
    const QImage later = main->grab().toImage().convertToFormat(QImage::Format_RGB32);
    EXPECT_NE(later.copy(box), shown.copy(box));
}

TEST_F(MainWindowTest, ASkinWithoutSomeObjectsStillGivesAWorkingWindow) {
    QFile original(DefaultSkin);
    ASSERT_TRUE(original.open(QIODevice::ReadOnly));
    QString svg = QString::fromUtf8(original.readAll());
    for (const char* id : {"\"pb\"", "\"convertpb\"", "\"timecaption\"", "\"Split\""})
        svg.replace(QStringLiteral("id=%1").arg(id), QStringLiteral("id=\"gone%1").arg(id + 1));
    const QString path = dir.filePath("partial.svg");
    QFile out(path);
    ASSERT_TRUE(out.open(QIODevice::WriteOnly));
    out.write(svg.toUtf8());
    out.close();

    ScriptedDesktop quiet;
    RecordingMain window(quiet, dir.filePath("Other.ini"));
    window.setSkinFile(path);
    window.show();
    QCoreApplication::processEvents();
    EXPECT_TRUE(quiet.errors.isEmpty()) << quiet.errors.join("; ").toStdString();
    window.skinObjects().pb->SetMax(1084);
    window.skinObjects().pb->SetPosition(300);
    EXPECT_EQ(window.skinObjects().pb->GetPosition(), 300);
    window.SetRunProgress(5000);
    window.skinObjects().timecaption->SetText("00:00:05");
    window.lvModel().append(listedFile("a.ogg", 10));
    window.calls.clear();
    window.Skin1Click("Join");
    EXPECT_EQ(window.calls, QStringList({"ChooseJoinOutput", "RunCustomJoin", "ShowTotalTime"}));
}

TEST_F(MainWindowTest, AMissingSkinFileIsReportedAndTheWindowStillOpens) {
    ScriptedDesktop quiet;
    RecordingMain window(quiet, dir.filePath("Other.ini"));
    window.setSkinFile(dir.filePath("nowhere.dll"));
    window.show();
    QCoreApplication::processEvents();
    ASSERT_EQ(quiet.errors.size(), 1);
    EXPECT_TRUE(quiet.errors.first().contains("nowhere.dll"));
    EXPECT_TRUE(window.isVisible());
    EXPECT_EQ(window.edt_dir->text(), window.state().OutputDir);
    window.SetRunProgress(5000);
    window.Skin1Click("addfile");
    EXPECT_EQ(window.calls.last(), "AddFiles");
}

} // namespace
