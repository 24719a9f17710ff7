// What a desktop user reaches for without reading the guide: files given on
// the command line or handed over by a second copy, drag and drop, and the
// keyboard, each through the real window.
#include "app/FileIntake.h"
#include "app/Shortcuts.h"
#include "app/WidgetDesktop.h"
#include "app/skin/Skin.h"
#include "core/AppState.h"
#include "engine/SourceIntake.h"
#include "platform/InstanceChannel.h"
#include "platform/SingleInstance.h"
#include "tests/support/MainWindowFixture.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QDropEvent>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QProcess>
#include <QTest>
#include <QTimer>
#include <QTreeView>
#include <QWindow>

#include <csignal>

namespace {

constexpr int Deadline = 30000;
const QString Program = QStringLiteral(TARNWELL_BIN_DIR "/tarnwell");

class DesktopTest : public MainWindowFixture {
protected:
    QDialog settingsDialog;

    void SetUp() override {
        MainWindowFixture::SetUp();
        main->setDialogs(&settingsDialog, folderDialog.get(), nullptr, nullptr);
    }

    // "song.ogg" and a folder "album" with two Ogg files and a text file.
    void makeFiles() {
        ogg("song.ogg", 3.2);
        ogg("album/b.ogg", 2.2);
        ogg("album/a.ogg", 2.2);
        writeText("album/notes.txt");
    }
    QString writeText(const QString& name) {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("not audio\n");
        return f.fileName();
    }
    // Sends a drag over `target` and drops it there; true when the drop was taken.
    bool drop(QWidget* target, QMimeData& data) {
        const QPointF at = QRectF(target->rect()).center();
        QDragEnterEvent enter(at.toPoint(), Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(target, &enter);
        if (!enter.isAccepted())
            return false;
        QDropEvent dropped(at, Qt::CopyAction, &data, Qt::LeftButton, {});
        QCoreApplication::sendEvent(target, &dropped);
        return dropped.isAccepted();
    }
    static void setUrls(QMimeData& data, const QStringList& paths) {
        QList<QUrl> urls;
        for (const QString& p : paths)
            urls << (p.contains("://") ? QUrl(p) : QUrl::fromLocalFile(p));
        data.setUrls(urls);
    }
    void activate() {
        main->windowHandle()->requestActivate();
        ASSERT_TRUE(QTest::qWaitFor(
            [&] { return QGuiApplication::focusWindow() == main->windowHandle(); }, Deadline));
    }
    void key(QKeySequence sequence) {
        const QKeyCombination k = sequence[0];
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : main.get();
        QTest::keyClick(target, k.key(), k.keyboardModifiers());
    }
};

TEST_F(DesktopTest, CommandLineFilesAndFoldersAreAddedAsAddFileAndAddFolderAddThem) {
    makeFiles();
    writeText("broken.ogg");
    const QStringList given = InstanceChannel::filesFromArguments(
        {"song.ogg", "album", "./broken.ogg",
         QUrl::fromLocalFile(dir.filePath("song.ogg")).toString()},
        dir.path());
    EXPECT_EQ(given.first(), dir.filePath("song.ogg"));
    EXPECT_EQ(given.last(), dir.filePath("song.ogg"));
    main->OpenGivenFiles(given);
    EXPECT_TRUE(QTest::qWaitFor([&] { return lv().count() == 4; }, Deadline));
    EXPECT_EQ(captions(), (QStringList{"song.ogg", "a.ogg", "b.ogg", "song.ogg"}));
    EXPECT_EQ(desktop.informations, QStringList{"broken.ogg this File is not supported."});
    // A file comes as from the open dialog, a folder's files as Add Folder adds them.
    EXPECT_EQ(main->state().JobList[0].SliderRange, 1084);
    EXPECT_EQ(main->state().JobList[1].SliderRange, 1014);
    EXPECT_EQ(selectedFile(), 0);
}

TEST_F(DesktopTest, ASecondCopyHandsItsFilesOverAndEndsEvenAfterACrashedCopy) {
    makeFiles();
    // A copy that is killed leaves its lock and its socket behind.
    QProcess crashed;
    crashed.start(Program, {});
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return QFile::exists(InstanceChannel::socketPath(ApplicationTitle)); }, Deadline));
    crashed.kill();
    ASSERT_TRUE(crashed.waitForFinished(Deadline));

    // This test is the running copy now, wired as the program wires itself.
    SingleInstance instance(ApplicationTitle);
    ASSERT_TRUE(instance.acquire());
    InstanceChannel channel(ApplicationTitle);
    ASSERT_TRUE(channel.listen());
    QObject::connect(&channel, &InstanceChannel::filesReceived, main.get(),
                     [this](const QStringList& files) { main->OpenGivenFiles(files, true); });

    QProcess second;
    second.setWorkingDirectory(dir.path());
    second.start(Program, {"song.ogg", "album"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return second.state() == QProcess::NotRunning; }, Deadline));
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_TRUE(QTest::qWaitFor([&] { return lv().count() == 3; }, Deadline));
    EXPECT_EQ(captions(), (QStringList{"song.ogg", "a.ogg", "b.ogg"}));

    // Without files a second start stays silent and hands nothing over.
    QProcess third;
    third.start(Program, {});
    ASSERT_TRUE(QTest::qWaitFor([&] { return third.state() == QProcess::NotRunning; }, Deadline));
    EXPECT_EQ(third.exitCode(), 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(lv().count(), 3);
    EXPECT_TRUE(desktop.informations.isEmpty());
}

TEST_F(DesktopTest, NamesNoFileCanHaveAreRefusedAtOnceInOneMessageWithTheOthers) {
    makeFiles();
    const QString broken = writeText("broken.ogg");
    const QString huge = dir.filePath(QString(1000000, QLatin1Char('n')) + ".ogg");
    const QString longPart = dir.filePath(QString(300, QLatin1Char('p')) + ".ogg");
    QElapsedTimer clock;
    clock.start();
    main->OpenGivenFiles({huge, broken, longPart, dir.filePath("song.ogg")}, true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return !desktop.informations.isEmpty(); }, Deadline));
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(captions(), QStringList{"song.ogg"});
    ASSERT_EQ(desktop.informations.size(), 1);
    const QStringList lines = desktop.informations.front().split('\n');
    // In the order given, the long names cut short.
    ASSERT_EQ(lines.size(), 3);
    EXPECT_EQ(lines[1], "broken.ogg this File is not supported.");
    for (const int line : {0, 2}) {
        EXPECT_TRUE(lines[line].endsWith(" characters) this File is not supported."))
            << lines[line].left(300).toStdString();
        EXPECT_LT(lines[line].size(), 200);
    }
    EXPECT_LT(desktop.details.front().size(), 2000);
}

TEST_F(DesktopTest, AMessageShowsItsDetailsOnRequest) {
    WidgetDesktop widgets;
    QString shown;
    QString details;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        ASSERT_NE(box, nullptr);
        shown = box->text();
        details = box->detailedText();
        box->accept();
    });
    widgets.warning("a.ogg this File is not supported.", "Cannot open a.ogg: not Ogg");
    EXPECT_EQ(shown, "a.ogg this File is not supported.");
    EXPECT_EQ(details, "Cannot open a.ogg: not Ogg");
}

TEST_F(DesktopTest, AHandOverNobodyTakesIsReportedAsFailed) {
    // A lock held by a copy that does not listen: the files are not taken.
    EXPECT_FALSE(InstanceChannel::send(ApplicationTitle, {dir.filePath("song.ogg")}, 300));
}

TEST_F(DesktopTest, DroppedOggFilesAndFoldersAreAddedAndTheRestIsNamedOnce) {
    makeFiles();
    QMimeData data;
    setUrls(data,
            {dir.filePath("album"), dir.filePath("album/notes.txt"), "https://example.org/x.ogg"});
    EXPECT_TRUE(drop(main->lv->viewport(), data));
    EXPECT_TRUE(QTest::qWaitFor([&] { return lv().count() == 2; }, Deadline));
    EXPECT_TRUE(QTest::qWaitFor([&] { return !desktop.informations.isEmpty(); }, Deadline));
    EXPECT_EQ(desktop.informations, QStringList{SourceIntake::LeftOutMessage(
                                        {"notes.txt", "https://example.org/x.ogg"})});

    // Anywhere on the window, the output field included.
    QMimeData one;
    setUrls(one, {dir.filePath("song.ogg")});
    EXPECT_TRUE(drop(main->Skin1, one));
    EXPECT_TRUE(drop(main->edt_dir, one));
    EXPECT_TRUE(QTest::qWaitFor([&] { return lv().count() == 4; }, Deadline));
    EXPECT_EQ(captions(), (QStringList{"a.ogg", "b.ogg", "song.ogg", "song.ogg"}));

    // Text is no file to add.
    QMimeData text;
    text.setText(dir.filePath("song.ogg"));
    EXPECT_FALSE(drop(main->lv->viewport(), text));
}

TEST_F(DesktopTest, ACueSheetDroppedOnTheSegmentListMarksTheSelectedFile) {
    makeFiles();
    QMimeData early;
    setUrls(early, {dir.filePath("album/notes.txt")});
    EXPECT_TRUE(drop(main->lv_time->viewport(), early));
    ASSERT_TRUE(QTest::qWaitFor([&] { return !desktop.informations.isEmpty(); }, Deadline));
    EXPECT_EQ(desktop.informations, QStringList{Tfm_main::NoFileForSegmentsMessage});
    QMimeData song;
    setUrls(song, {dir.filePath("song.ogg")});
    EXPECT_TRUE(drop(main->lv->viewport(), song));
    ASSERT_TRUE(QTest::qWaitFor([&] { return lv().count() == 1; }, Deadline));
    QFile cue(dir.filePath("song.cue"));
    ASSERT_TRUE(cue.open(QIODevice::WriteOnly));
    cue.write(
        "TITLE \"Demo\"\nFILE \"song.ogg\" WAVE\n  TRACK 01 AUDIO\n    TITLE \"One\"\n"
        "    INDEX 01 00:00:00\n  TRACK 02 AUDIO\n    TITLE \"Two\"\n    INDEX 01 00:01:60\n");
    cue.close();
    // The import shows what the sheet cuts; taken as it stands.
    desktop.onModal = [](QWidget&) { return static_cast<int>(QDialog::Accepted); };
    QMimeData sheet;
    setUrls(sheet, {cue.fileName()});
    EXPECT_TRUE(drop(main->lv_time->viewport(), sheet));
    ASSERT_TRUE(QTest::qWaitFor([&] { return main->lvTimeModel().count() == 3; }, Deadline));
    EXPECT_EQ(main->lvTimeModel().row(0),
              (QStringList{"00:00:00 - 00:00:01.80", "00:00:01.80", "OK", "One"}));
    EXPECT_EQ(main->lvTimeModel().text(1, 0), "00:00:01.80 - 00:00:03.20");
    EXPECT_EQ(main->lvTimeModel().note(1), "Two");
    EXPECT_EQ(main->state().JobList[0].Sheet.album, "Demo");
    EXPECT_EQ(lv().count(), 1);
}

TEST_F(DesktopTest, TextDroppedIntoSaveToSetsTheOutputFolderOnlyWhenItIsOne) {
    makeFiles();
    const QString before = main->state().OutputDir;
    QMimeData notFolder;
    notFolder.setText(dir.filePath("song.ogg"));
    EXPECT_FALSE(drop(main->edt_dir, notFolder));
    EXPECT_EQ(main->state().OutputDir, before);
    EXPECT_EQ(main->edt_dir->text(), before);

    QMimeData folder;
    folder.setText("  " + QUrl::fromLocalFile(dir.filePath("album")).toString() + "\n");
    EXPECT_TRUE(drop(main->edt_dir, folder));
    EXPECT_EQ(main->state().OutputDir, dir.filePath("album") + "/");
    EXPECT_EQ(main->edt_dir->text(), dir.filePath("album") + "/");
    EXPECT_EQ(lv().count(), 0);
}

TEST_F(DesktopTest, FilesArrivingDuringARunWaitForItsEnd) {
    makeFiles();
    activate();
    main->state().Busy = true;
    main->OpenGivenFiles({dir.filePath("song.ogg")}, true);
    QMimeData data;
    setUrls(data, {dir.filePath("album")});
    EXPECT_TRUE(drop(main->Skin1, data));
    for (int i = 0; i < 5; ++i)
        QCoreApplication::processEvents();
    EXPECT_EQ(lv().count(), 0);
    EXPECT_TRUE(main->fileIntake().waiting());
    // Esc stops the run; what waited comes in, in the order it came.
    key(Qt::Key_Escape);
    EXPECT_FALSE(main->state().Busy);
    EXPECT_TRUE(QTest::qWaitFor([&] { return lv().count() == 3; }, Deadline));
    EXPECT_EQ(captions(), (QStringList{"song.ogg", "a.ogg", "b.ogg"}));

    // Still waiting when the window closes: named, not lost without a word.
    main->state().Busy = true;
    main->OpenGivenFiles({dir.filePath("song.ogg")}, true);
    ASSERT_TRUE(main->fileIntake().waiting());
    main->close();
    ASSERT_FALSE(desktop.informations.isEmpty());
    EXPECT_TRUE(desktop.informations.last().contains(dir.filePath("song.ogg")))
        << desktop.informations.last().toStdString();
    EXPECT_EQ(desktop.severities.back(), Desktop::Severity::Warning);
}

TEST_F(DesktopTest, FilesDroppedDuringARealSplitOrAnAddComeInAfterIt) {
    makeFiles();
    // Drops `name` from the first event the command pumps; gives the row
    // count right after.
    int rowsAfterDrop = -1;
    auto dropSoon = [&](const QString& name) {
        QTimer::singleShot(0, main.get(), [&, name] {
            QMimeData data;
            setUrls(data, {dir.filePath(name)});
            EXPECT_TRUE(drop(main->lv->viewport(), data));
            QCoreApplication::processEvents();
            rowsAfterDrop = lv().count();
        });
    };
    dropSoon("song.ogg");
    addFiles({ogg("long.ogg", 20.2), dir.filePath("album/a.ogg")});
    EXPECT_LE(rowsAfterDrop, 2);
    EXPECT_TRUE(QTest::qWaitFor([&] { return lv().count() == 3; }, Deadline));
    EXPECT_EQ(captions(), (QStringList{"long.ogg", "a.ogg", "song.ogg"}));

    dropSoon("album/b.ogg");
    click("Split");
    EXPECT_EQ(rowsAfterDrop, 3);
    EXPECT_TRUE(QTest::qWaitFor([&] { return lv().count() == 4; }, Deadline));
}

TEST_F(DesktopTest, KeysAreShownInTooltipsMenusAndTabOrderFollowsReading) {
    auto tip = [this](const char* name) { return main->Skin1->FindObject(name)->toolTip(); };
    EXPECT_TRUE(tip("Ok").endsWith(" (Enter)"));
    EXPECT_TRUE(tip("Settings").endsWith(" (Ctrl+,)"));
    for (const Shortcuts::Entry& entry : main->shortcuts().entries()) {
        for (const QString& object : entry.skinObjects)
            EXPECT_TRUE(tip(object.toLatin1()).endsWith(Shortcuts::keyText(entry) + ")"))
                << object.toStdString();
        for (const QString& item : entry.menuItems)
            EXPECT_EQ(main->findChild<QAction*>(item)->shortcut(), entry.keys.front())
                << item.toStdString();
    }
    EXPECT_EQ(main->findChild<QAction*>("AddFile1Click")->text(), "Add File");
    // The Action menu's Cutter has a key of its own, shown beside it.
    EXPECT_EQ(main->findChild<QAction*>("Start1Click")->shortcut(),
              QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_S));
    // The guide names it, and every output format the format box offers.
    QFile guide(QCoreApplication::applicationDirPath() + "/help/Ostrel.html");
    ASSERT_TRUE(guide.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(guide.readAll());
    EXPECT_TRUE(text.contains("<kbd>Ctrl+Shift+S</kbd>"));
    for (int i = 0; i < main->cb_format->count(); ++i)
        EXPECT_TRUE(text.contains("<b>" + main->cb_format->itemText(i) + "</b>"))
            << main->cb_format->itemText(i).toStdString();

    activate();
    main->lv->setFocus();
    QStringList order;
    for (int i = 0; i < 4; ++i) {
        order << QApplication::focusWidget()->objectName();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    }
    EXPECT_EQ(order, (QStringList{"lv", "lv_time", "edt_dir", "cb_format"}));
}

TEST_F(DesktopTest, KeysTheFormatBoxOrAFieldTakesNeverReachTheShortcuts) {
    makeFiles();
    activate();
    addFiles({dir.filePath("song.ogg")});
    const QStringList before = segmentRows();
    // Choosing a format with the keyboard confirms no segment.
    main->cb_format->setFocus();
    key(Qt::Key_Down);
    EXPECT_EQ(main->cb_format->currentText(), "WAV");
    key(Qt::Key_Return);
    EXPECT_EQ(segmentRows(), before);
    // Nor does typing a folder; its brackets and blanks are the folder's.
    main->edt_dir->setFocus();
    main->edt_dir->clear();
    QTest::keyClicks(main->edt_dir, "a [b] c");
    key(Qt::Key_Return);
    EXPECT_EQ(main->edt_dir->text(), "a [b] c");
    EXPECT_EQ(segmentRows(), before);
    EXPECT_FALSE(main->state().Playing);
}

TEST_F(DesktopTest, TheWindowStartsWhereTheKeysWorkAndSpacePlaysFromTheFileList) {
    makeFiles();
    activate();
    EXPECT_EQ(QApplication::focusWidget(), main->lv);
    addFiles({dir.filePath("song.ogg")});
    key(Qt::Key_Space);
    EXPECT_TRUE(main->state().Playing);
    key(Qt::Key_Space);
    EXPECT_FALSE(main->state().Playing);
}

TEST_F(DesktopTest, EveryKeyActsUnderTheGuardOfItsCommand) {
    makeFiles();
    activate();
    main->lv->setFocus();
    AppState& state = main->state();
    // Under Busy, each of these does nothing.
    state.Busy = true;
    desktop.openFilesAnswers.push_back({dir.filePath("song.ogg")});
    for (QKeySequence k : {QKeySequence("Ctrl+O"), QKeySequence("Ctrl+Shift+O"),
                           QKeySequence("Space"), QKeySequence("Ctrl+S"), QKeySequence("Ctrl+J")})
        key(k);
    EXPECT_EQ(desktop.openFilesAnswers.size(), 1u);
    EXPECT_EQ(desktop.modalCount, 0);
    EXPECT_FALSE(state.Playing);
    EXPECT_TRUE(desktop.lastFilter.isEmpty());
    EXPECT_TRUE(desktop.openedUrls.empty());
    // Settings and help stay open to a run.
    key(QKeySequence("Ctrl+,"));
    EXPECT_EQ(desktop.modalCount, 1);
    activate(); // the scripted dialog leaves the activation to the test
    key(Qt::Key_F1);
    ASSERT_EQ(desktop.openedUrls.size(), 1u);
    EXPECT_TRUE(desktop.openedUrls.back().path().endsWith("/help/Ostrel.html"));
    state.Busy = false;

    key(QKeySequence("Ctrl+O"));
    ASSERT_EQ(lv().count(), 1);
    key(QKeySequence("Ctrl+Shift+O"));
    EXPECT_EQ(desktop.modalCount, 2);
    EXPECT_EQ(folderDialog->windowTitle(), "Add File Directory");
    activate();

    // Marking a segment: Right steps forward, [ marks, Enter confirms.
    main->lv->setFocus();
    const int start = pb().GetPosition();
    key(Qt::Key_Right);
    EXPECT_GT(pb().GetPosition(), start);
    key(Qt::Key_Left);
    EXPECT_EQ(pb().GetPosition(), start);
    placeAt(1, 3);
    key(Qt::Key_BracketLeft);
    placeAt(2, 3);
    key(Qt::Key_BracketRight);
    key(Qt::Key_Return);
    EXPECT_EQ(segmentRows().first(), "00:00:01 - 00:00:02|00:00:01|Ok");

    // Space plays and stops from either list: the file, or the segment.
    key(Qt::Key_Space);
    EXPECT_TRUE(state.Playing);
    EXPECT_FALSE(state.SegmentFocus);
    key(Qt::Key_Space);
    EXPECT_FALSE(state.Playing);
    main->lv_time->setFocus();
    key(Qt::Key_Space);
    EXPECT_TRUE(state.Playing);
    EXPECT_TRUE(state.SegmentFocus);
    key(Qt::Key_Space);
    EXPECT_FALSE(state.Playing);
    main->lv->setFocus();
    selectFile(0);

    // Join asks for its output; cancelled, nothing is written.
    key(QKeySequence("Ctrl+J"));
    EXPECT_EQ(desktop.lastFilter, Tfm_main::SaveFilter);
    // Split writes and opens the output folder.
    key(QKeySequence("Ctrl+S"));
    EXPECT_TRUE(QDir(QString(state.OutputDir)).exists());
    EXPECT_EQ(desktop.openedUrls.back(), QUrl::fromLocalFile(state.OutputDir));

    key(Qt::Key_Delete);
    EXPECT_EQ(lv().count(), 0);
    addFiles({dir.filePath("song.ogg"), dir.filePath("album/a.ogg")});
    main->lv->setFocus();
    selectFile(0);
    state.Busy = true;
    key(Qt::Key_Delete);
    key(QKeySequence("Ctrl+Delete"));
    EXPECT_EQ(lv().count(), 2);
    state.Busy = false;
    key(QKeySequence("Ctrl+Delete"));
    EXPECT_EQ(lv().count(), 0);

    key(QKeySequence("Ctrl+Q"));
    EXPECT_FALSE(main->isVisible());
}

} // namespace
