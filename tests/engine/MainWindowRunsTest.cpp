// The runs started, stopped and refused through the real main window: skin
// clicks and menu items, the scripted desktop, the real components and skin.
#include "app/SegmentList.h"
#include "app/WindowRunHost.h"
#include "app/skin/SkinObject.h"
#include "engine/PieceWorkers.h"
#include "tests/support/FfmpegDecoder.h"
#include "tests/support/MainWindowFixture.h"
#include "tests/support/OggFixture.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QTest>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>
#include <taglib/fileref.h>
#include <taglib/tpropertymap.h>

#include <atomic>
#include <chrono>
#include <cmath>
#include <functional>
#include <thread>

namespace {

class MainWindowRunsTest : public MainWindowFixture {
protected:
    QString outDir;

    void SetUp() override {
        MainWindowFixture::SetUp();
        outDir = makeOutputFolder();
        main->state().OutputDir = outDir;
        main->cb_format->setCurrentIndex(1);
    }

    QString addFile(const QString& name, double seconds) {
        OggFixture f;
        f.seconds = seconds;
        const QString path = f.write(dir.filePath(name));
        addFiles({path});
        return path;
    }
    QStringList outputs() const { return QDir(outDir).entryList(QDir::Files, QDir::Name); }
    // The track number an output is tagged with, "" without one.
    QString track(const QString& name) const {
        const TagLib::FileRef file(QFile::encodeName(outDir + name).constData());
        if (file.isNull())
            return QStringLiteral("no file");
        const TagLib::StringList values = file.file()->properties()["TRACKNUMBER"];
        return values.isEmpty() ? QString() : QString::fromStdString(values.front().to8Bit(true));
    }
    void typeTitle(int row, const QString& title) {
        lvTime().setData(lvTime().index(row, SegmentList::TitleColumn), title, Qt::EditRole);
    }
    int barWidth() {
        const SkinRect r = main->skinObjects().convertpbElement->GetRect();
        return r.right - r.left;
    }
    // Runs `action` from the event loop while a run pumps events, once
    // `when` holds.
    void during(std::function<bool()> when, std::function<void()> action) {
        auto* timer = new QTimer(main.get());
        timer->setInterval(0);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, when, action] {
            if (when()) {
                timer->stop();
                action();
            }
        });
        timer->start();
    }
};

TEST_F(MainWindowRunsTest, SplitOpensTheOutputFolderAndCutterDoesNot) {
    addFile("a.ogg", 2.0);
    main->state().FunctionChoice = FunctionSplitByTime;
    main->state().SplitSeconds = 1;
    click("Split");

    // Two pieces of a second; the empty third one (2-2) is listed, not written.
    EXPECT_EQ(outputs(), QStringList({"a_1.wav", "a_2.wav"}));
    EXPECT_EQ(decodeWithFfmpeg(outDir + "a_2.wav").frames(), 44100);
    ASSERT_EQ(desktop.openedUrls.size(), 1u);
    EXPECT_EQ(desktop.openedUrls[0], QUrl::fromLocalFile(outDir));
    EXPECT_FALSE(main->state().Busy);
    EXPECT_EQ(skinText("pbpos"), "");
    EXPECT_EQ(barWidth(), 0);
    EXPECT_EQ(status(0), "Finish");
    EXPECT_EQ(status(2), "Unconvert");

    main->Start1Click();
    EXPECT_EQ(outputs().size(), 4);
    EXPECT_TRUE(outputs().contains("a_4.wav"));
    EXPECT_EQ(desktop.openedUrls.size(), 1u);
    EXPECT_TRUE(desktop.errors.isEmpty());
}

TEST_F(MainWindowRunsTest, AFolderTypedIntoSaveToReceivesTheOutputs) {
    addFile("a.ogg", 1.0);
    const QString typed = dir.filePath("typed");
    main->edt_dir->clear();
    QTest::keyClicks(main->edt_dir, typed);
    EXPECT_EQ(main->state().OutputDir, typed + "/");
    click("Split");

    EXPECT_TRUE(QFileInfo::exists(typed + "/a.wav"));
    EXPECT_TRUE(outputs().isEmpty());
    EXPECT_TRUE(desktop.errors.isEmpty());
}

TEST_F(MainWindowRunsTest, CommandsAreRefusedDuringARunAndStopEndsIt) {
    addFile("a.ogg", 2.0);
    addFile("b.ogg", 2.0);
    main->state().FunctionChoice = FunctionSplitByTime;
    main->state().SplitSeconds = 1;
    desktop.lastFilter.clear();
    QStringList outputsSeen;
    during([&] { return status(0) == "Finish"; },
           [&] {
               click("Split");
               click("addfile");
               main->Start1Click();
               outputsSeen = outputs();
               click("Stop");
           });
    click("Split");

    // A run inside the first would have written its pieces under new names.
    for (const QString& name : outputsSeen)
        EXPECT_TRUE(name == "a_1.wav" || name == "a_2.wav")
            << "a second run started inside the first: " << name.toStdString();
    EXPECT_TRUE(desktop.lastFilter.isEmpty()) << "no open dialog during the run";
    // Pieces written side by side when Stop came are kept, shorter; nothing
    // of the second file is written.
    const QStringList written = outputs();
    ASSERT_FALSE(written.isEmpty());
    EXPECT_EQ(written.front(), "a_1.wav");
    EXPECT_TRUE(written.filter("b_").isEmpty());
    for (int row = 0; row < written.size(); ++row)
        EXPECT_EQ(status(row), "Finish") << row;
    EXPECT_EQ(main->state().CurrentFile, 0);
    EXPECT_FALSE(main->state().Busy);
    EXPECT_EQ(desktop.openedUrls.size(), 1u) << "Split still opens the folder after a stop";
}

TEST_F(MainWindowRunsTest, JoinAsksForTheOutputAndTakesItsFormat) {
    addFile("a.ogg", 1.0);
    addFile("b.ogg", 1.0);
    main->state().FunctionChoice = FunctionSplitByCount;
    desktop.saveAnswers.push_back({outDir + "mix", 4});
    click("Join");

    EXPECT_EQ(desktop.lastFilterIndex, 2);
    EXPECT_EQ(desktop.lastFolder, outDir);
    EXPECT_EQ(main->cb_format->currentIndex(), 3);
    const DecodedAudio mix = decodeWithFfmpeg(outDir + "mix.ogg");
    EXPECT_EQ(mix.codec, "vorbis");
    EXPECT_NEAR(mix.seconds(), 2.0, 0.01);
    EXPECT_FALSE(main->state().Busy);
    ASSERT_EQ(desktop.openedUrls.size(), 1u);
    EXPECT_EQ(desktop.openedUrls[0], QUrl::fromLocalFile(outDir));

    // Cancelled: nothing runs, nothing opens.
    click("Join");
    EXPECT_EQ(desktop.openedUrls.size(), 1u);
    EXPECT_TRUE(desktop.errors.isEmpty());

    // A file the user agrees to replace is replaced, not joined beside.
    QFile old(outDir + "mix.ogg");
    ASSERT_TRUE(old.open(QIODevice::WriteOnly | QIODevice::Truncate));
    old.close();
    desktop.saveAnswers.push_back({outDir + "mix", 4});
    desktop.confirmAnswers.push_back(true);
    click("Join");
    EXPECT_NEAR(decodeWithFfmpeg(outDir + "mix.ogg").seconds(), 2.0, 0.01);
    EXPECT_EQ(QDir(outDir).entryList(QDir::Files | QDir::Hidden), QStringList({"mix.ogg"}));
    EXPECT_TRUE(desktop.informations.isEmpty());
}

TEST_F(MainWindowRunsTest, AFailedRunShowsItsErrorAndStaysBusyUntilStop) {
    addFile("a.ogg", 1.0);
    const QString gone = addFile("gone.ogg", 1.0);
    QFile::remove(gone);
    click("Split");

    ASSERT_EQ(desktop.errors.size(), 1);
    EXPECT_TRUE(desktop.errors[0].contains("gone.ogg")) << desktop.errors[0].toStdString();
    EXPECT_TRUE(desktop.errors[0].endsWith("Click \"Stop\" to end the conversion."))
        << "the window would otherwise look idle while it refuses commands";
    EXPECT_TRUE(desktop.openedUrls.empty());
    EXPECT_EQ(outputs(), QStringList({"a.wav"}));
    EXPECT_TRUE(main->state().Busy);
    click("Split");
    EXPECT_EQ(outputs().size(), 1) << "refused while busy";

    // As a write error leaves the display: a piece at "Converting", its
    // percentage shown. Stop clears both.
    main->lvTimeModel().setText(0, 2, "Converting");
    main->skinObjects().pbpos->SetText("40%");
    click("Stop");
    EXPECT_FALSE(main->state().Busy);
    EXPECT_EQ(barWidth(), 0);
    EXPECT_EQ(status(0), "Unconvert");
    EXPECT_EQ(skinText("pbpos"), "");
}

// A title typed on one segment names and numbers that piece alone: the
// others keep the names and the missing track number of untitled pieces,
// and the number is the piece's place, which closes up when a row goes.
TEST_F(MainWindowRunsTest, ATitledSegmentIsNumberedByItsPlaceAndTheOthersStayUntitled) {
    addFile("song.ogg", 6.0);
    main->cb_format->setCurrentIndex(0);
    for (int k = 0; k < 3; ++k)
        confirmSegment(2 * k, 2 * k + 2, 6);
    typeTitle(1, "Middle");
    click("Split");
    ASSERT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("\n").toStdString();
    EXPECT_EQ(outputs(), QStringList({"02 - Middle.mp3", "song.mp3", "song_1.mp3"}));
    EXPECT_EQ(track("song.mp3"), "");
    EXPECT_EQ(track("song_1.mp3"), "");
    EXPECT_EQ(track("02 - Middle.mp3"), "2/3");

    QDir(outDir).removeRecursively();
    QDir().mkpath(outDir);
    selectSegment(0);
    click("Remove");
    click("Split");
    EXPECT_EQ(outputs(), QStringList({"01 - Middle.mp3", "song.mp3"}));
    EXPECT_EQ(track("01 - Middle.mp3"), "1/2");
    EXPECT_EQ(track("song.mp3"), "");
}

// Unification: a title on the shared list names that piece of every file.
TEST_F(MainWindowRunsTest, ATitleOnTheSharedSegmentsNamesThatPieceOfEveryFile) {
    main->state().FunctionChoice = FunctionUnification;
    addFile("aaa.ogg", 4.0);
    addFile("bbb.ogg", 4.0);
    main->cb_format->setCurrentIndex(0);
    selectFile(0);
    confirmSegment(0, 2, 4);
    confirmSegment(2, 4, 4);
    typeTitle(0, "Intro");
    click("Split");
    ASSERT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("\n").toStdString();
    EXPECT_EQ(outputs(),
              QStringList({"01 - Intro.mp3", "01 - Intro_1.mp3", "aaa_1.mp3", "bbb_1.mp3"}));
    EXPECT_EQ(track("01 - Intro_1.mp3"), "1/2");
    EXPECT_EQ(track("bbb_1.mp3"), "");
}

// The join's folder is opened, wherever the join was saved.
TEST_F(MainWindowRunsTest, JoinOpensTheFolderItWasWrittenTo) {
    addFile("a.ogg", 1.0);
    const QString elsewhere = dir.filePath("elsewhere") + "/";
    QDir().mkpath(elsewhere);
    desktop.saveAnswers.push_back({elsewhere + "mix", 2});
    click("Join");
    ASSERT_TRUE(QFileInfo::exists(elsewhere + "mix.wav"));
    ASSERT_EQ(desktop.openedUrls.size(), 1u);
    EXPECT_EQ(desktop.openedUrls[0], QUrl::fromLocalFile(elsewhere));
}

// A title names pieces whole, dots and all, though never as a hidden file;
// a file listed by its name loses what follows its first dot.
TEST_F(MainWindowRunsTest, TitlesNamePiecesWholeAndFileNamesLoseTheirExtension) {
    const std::pair<const char*, const char*> files[] = {
        {"a.ogg", "TITLE=Mr. Blue Sky"}, {"b.ogg", "TITLE=...And Justice"}, {"c.d.ogg", nullptr}};
    for (const auto& [name, title] : files) {
        OggFixture f;
        f.seconds = 1.0;
        if (title)
            f.comments = {QString::fromLatin1(title)};
        addFiles({f.write(dir.filePath(name))});
    }
    EXPECT_EQ(captions(), QStringList({"Mr. Blue Sky", "...And Justice", "c.d.ogg"}));
    main->state().FunctionChoice = FunctionSplitByCount;
    main->state().SplitCount = 1;
    click("Split");
    EXPECT_EQ(outputs(), QStringList({"And Justice_1.wav", "Mr. Blue Sky_1.wav", "c_1.wav"}));
}

// The window's host runs the engine's step on a thread of its own while the
// window goes on handling its events, and shows what the run tells on the
// window's thread, all of it before the step returns.
TEST_F(MainWindowRunsTest, ARunGoesOnAThreadOfItsOwnAndTheWindowShowsWhatItTells) {
    addFile("a.ogg", 1.0);
    addFile("b.ogg", 1.0);
    QThread* const windowThread = QThread::currentThread();
    std::vector<QThread*> rowsChangedOn;
    const auto record = [&] { rowsChangedOn.push_back(QThread::currentThread()); };
    QObject::connect(&lvTime(), &QAbstractItemModel::dataChanged, main.get(), record,
                     Qt::DirectConnection);
    QObject::connect(&lvTime(), &QAbstractItemModel::rowsInserted, main.get(), record,
                     Qt::DirectConnection);
    std::atomic<bool> windowEvent{false};
    QTimer::singleShot(0, main.get(), [&] { windowEvent = true; });

    WindowRunHost host(*main);
    QThread* ranOn = nullptr;
    bool sawWindowEvent = false;
    const RunOutcome outcome = host.Execute([&] {
        ranOn = QThread::currentThread();
        // Only a window thread left free handles its own timer meanwhile.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!windowEvent && std::chrono::steady_clock::now() < deadline)
            std::this_thread::yield();
        sawWindowEvent = windowEvent;
        host.FileStarted(1);
        host.RowsPlanned({RunRows::Kind::Whole, 1, main->state().JobList[1], {}, 0});
        host.PieceStarted(1, 0, 1, {});
        host.SetRunText(QStringLiteral("42%"));
        host.Checkpoint();
        return RunOutcome{};
    });

    EXPECT_NE(ranOn, windowThread);
    EXPECT_TRUE(sawWindowEvent) << "the window was held while the run went on";
    EXPECT_FALSE(outcome.failure);
    // Shown, on the window's thread, before the run's step returned.
    EXPECT_EQ(skinText("pbpos"), "42%");
    EXPECT_EQ(selectedFile(), 1);
    EXPECT_EQ(main->state().CurrentFile, 1);
    EXPECT_EQ(status(0), "Converting");
    ASSERT_FALSE(rowsChangedOn.empty());
    for (QThread* thread : rowsChangedOn)
        EXPECT_EQ(thread, windowThread);
}

// While a split goes on, the window handles its events: the options, the
// output folder and the settings changed meanwhile wait for the next run,
// and Stop ends it after the piece under way, as ever.
TEST_F(MainWindowRunsTest, ChangesDuringARunWaitForTheNextAndStopEndsIt) {
    addFile("a.ogg", 8.0);
    addFile("b.ogg", 2.0);
    main->state().FunctionChoice = FunctionSplitByTime;
    main->state().SplitSeconds = 1;
    // Pieces in turn, so Stop finds one piece under way.
    PieceWorkers::SetAllowed(*main->settings(), 1);
    const QString typed = dir.filePath("typed");
    bool changedOnWindowThread = false;
    bool busyMeanwhile = false;
    during([&] { return status(1) == "Finish"; },
           [&] {
               changedOnWindowThread = QThread::currentThread() == main->thread();
               busyMeanwhile = main->state().Busy;
               main->edt_dir->clear();
               QTest::keyClicks(main->edt_dir, typed);
               main->state().FadeIn = true;
               main->state().FadeInSeconds = 5;
               main->state().SplitSeconds = 4;
               main->settings()->WriteInteger(QStringLiteral("wav"), QStringLiteral("mode"), 2);
               main->settings()->WriteInteger(QStringLiteral("wav"), QStringLiteral("frequency"),
                                              4);
               main->settings()->WriteInteger(QStringLiteral("wav"), QStringLiteral("channel"), 0);
           });
    during([&] { return status(3) == "Finish"; }, [&] { click("Stop"); });
    click("Split");

    EXPECT_TRUE(changedOnWindowThread);
    EXPECT_TRUE(busyMeanwhile);
    ASSERT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join("\n").toStdString();
    // Every piece in the folder of the start, a second long, as the
    // settings were, and with no fade-in.
    EXPECT_EQ(outputs(), QStringList({"a_1.wav", "a_2.wav", "a_3.wav", "a_4.wav"}));
    EXPECT_FALSE(QFileInfo::exists(typed));
    for (const QString& name : outputs()) {
        SCOPED_TRACE(name.toStdString());
        const DecodedAudio piece = decodeWithFfmpeg(outDir + name);
        EXPECT_EQ(piece.rate, 44100);
        EXPECT_EQ(piece.channels, 2);
        EXPECT_EQ(piece.frames(), 44100);
        const std::vector<float> left = piece.channel(0);
        EXPECT_NEAR(rms(left, 0, 441), rms(left, 22050, 22491), 0.05);
    }
    // Stopped after the fourth piece: the rest keep their statuses.
    for (int row = 0; row < 4; ++row)
        EXPECT_EQ(status(row), "Finish") << row;
    EXPECT_EQ(status(4), "Unconvert");
    EXPECT_EQ(main->state().CurrentFile, 0);
    EXPECT_FALSE(main->state().Busy);
    EXPECT_EQ(skinText("pbpos"), "");
    EXPECT_EQ(barWidth(), 0);
    // The folder the pieces went to is the one opened.
    ASSERT_EQ(desktop.openedUrls.size(), 1u);
    EXPECT_EQ(desktop.openedUrls[0], QUrl::fromLocalFile(outDir));

    // The next run takes them all.
    click("Split");
    EXPECT_EQ(QDir(typed).entryList(QDir::Files, QDir::Name),
              QStringList({"a_1.wav", "a_2.wav", "b_1.wav"}));
    const DecodedAudio next = decodeWithFfmpeg(typed + "/a_1.wav");
    EXPECT_EQ(next.rate, 22050);
    EXPECT_EQ(next.channels, 1);
    EXPECT_LT(rms(next.channel(0), 0, 220), 0.05) << "faded in";
}

} // namespace
