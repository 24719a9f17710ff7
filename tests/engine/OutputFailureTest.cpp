// Outputs that cannot be finished: a full disk while writing or tagging, a
// name that turns up while the output is being written. Only complete outputs
// ever carry their final names.
#include "engine/JoinRun.h"
#include "engine/PendingOutput.h"
#include "engine/RunCommand.h"
#include "engine/SplitRun.h"
#include "platform/Error.h"
#include "tags/WmaTags.h"
#include "tests/engine/RunFixture.h"
#include "tests/support/FileSizeLimit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>

namespace {

constexpr int Rate = 44100;

class OutputFailureTest : public RunFixture {
protected:
    static void SetUpTestSuite() { LoadWmaLibrary(); }

    std::string everything() const { return outputs().join(QLatin1Char(' ')).toStdString(); }
    QByteArray contents(const QString& path) const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static void writeFile(const QString& path, const QByteArray& bytes) {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    }
    // A custom split of one second and three; the message of its failure,
    // empty when it ran through.
    QString split(rlim_t limit = RLIM_INFINITY) {
        state.Busy = false;
        setSegments(0, {{0, 1}, {1, 4}}, {0, 4});
        FileSizeLimit full(limit);
        try {
            SplitRun(context).Run(PiecePlan::Mode::Custom);
        } catch (const Error& e) {
            return e.message();
        }
        return QString();
    }
    static QString tooLarge() { return QString::fromLocal8Bit(std::strerror(EFBIG)); }

    // Another copy of the program, writing `finalPath`: the path of its
    // temporary, empty when it did not get that far.
    static QString hold(QProcess& copy, const QString& finalPath) {
        copy.start(QStringLiteral(TARNWELL_BIN_DIR "/pending_output_holder"), {finalPath});
        while (!copy.canReadLine())
            if (!copy.waitForReadyRead(60000))
                return {};
        return QString::fromLocal8Bit(copy.readLine()).trimmed();
    }
    // Makes a file look as if it had not changed for twice the time after
    // which a temporary nobody holds counts as left behind.
    static void age(const QString& path) {
        const std::time_t then = std::time(nullptr) - 2 * PendingOutput::LeftoverSeconds;
        const struct timespec times[2] = {{then, 0}, {then, 0}};
        ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
    }
};

TEST_F(OutputFailureTest, AFullDiskLeavesNoPartialPieceAndSaysWhichAndWhy) {
    addFile(QStringLiteral("song.ogg"), OggFixture::Tone(4.0, 440.0, Rate, 2));
    for (const auto& [format, ext] :
         {std::pair{1, ".wav"}, std::pair{0, ".mp3"}, std::pair{3, ".ogg"}, std::pair{2, ".wma"},
          std::pair{4, ".flac"}, std::pair{5, ".opus"}}) {
        SCOPED_TRACE(ext);
        setFormat(format);
        // FLAC and Opus tags get a title longer than the room libopusenc
        // leaves for comments, so that tagging grows every one of them.
        state.JobList[0].Tags.Title = format >= 4 ? QStringLiteral("Quiet Song ").repeated(200)
                                                  : QStringLiteral("Quiet Song");
        const QString first = QStringLiteral("song") + ext;
        const QString second = QStringLiteral("song_1") + ext;
        // Sizes of the finished, tagged pieces.
        ASSERT_EQ(split(), QString());
        const qint64 small = QFileInfo(out(first)).size();
        const qint64 large = QFileInfo(out(second)).size();
        ASSERT_LT(small, large);
        QFile::remove(out(first));
        QFile::remove(out(second));

        // Room for the first piece only: the second fails while its audio
        // is written.
        const QString message = split(static_cast<rlim_t>((small + large) / 2));
        EXPECT_TRUE(message.contains(out(second))) << message.toStdString();
        EXPECT_TRUE(message.contains(tooLarge())) << message.toStdString();
        EXPECT_FALSE(message.contains(".part")) << message.toStdString();
        EXPECT_EQ(everything(), first.toStdString());
        EXPECT_EQ(QFileInfo(out(first)).size(), small);
        EXPECT_EQ(status(0), "Finish");
        EXPECT_EQ(status(1), "Converting");
        EXPECT_TRUE(state.Busy);
        QFile::remove(out(first));
        if (format == 3) {
            // A copied piece may be as large untagged: one byte short, it
            // fails as it is put on the disk.
            const QString late = split(static_cast<rlim_t>(large - 1));
            EXPECT_TRUE(late.contains(out(second)) && late.contains(tooLarge()))
                << late.toStdString();
            EXPECT_EQ(everything(), first.toStdString());
            QFile::remove(out(first));
        } else if (format != 1) {
            // Just one byte short, the second fails while it is tagged: its
            // audio is complete and stays, and the run ends as usual,
            // saying which file lacks its tags and why.
            desktop.informations.clear();
            EXPECT_EQ(split(static_cast<rlim_t>(large - 1)).toStdString(), "");
            EXPECT_EQ(everything(), (first + ' ' + second).toStdString());
            EXPECT_LT(QFileInfo(out(second)).size(), large);
            // The untagged piece, whole: FFmpeg reads every frame of it
            // without an error, and what it holds has no tag.
            const DecodedAudio untagged = decode(second);
            EXPECT_NEAR(untagged.seconds(), 3.0, 0.1);
            EXPECT_EQ(untagged.tags.count("title"), 0u);
            EXPECT_EQ(status(1), "Finish");
            EXPECT_FALSE(state.Busy);
            ASSERT_EQ(desktop.informations.size(), 1);
            const QString told = desktop.informations.front();
            EXPECT_TRUE(told.contains("tags") && told.contains(out(second)) &&
                        told.contains(tooLarge()) && !told.contains(".part"))
                << told.toStdString();
            QFile::remove(out(first));
            QFile::remove(out(second));
        }
        if (format == 1) {
            EXPECT_EQ(split((small + large) / 2),
                      QStringLiteral("Cannot write %1: %2").arg(out(second), tooLarge()));
        }
        QFile::remove(out(first));
    }
}

TEST_F(OutputFailureTest, NamesBeingWrittenAreTakenAndNeverWrittenOver) {
    addFile(QStringLiteral("song.ogg"), OggFixture::Tone(3.0, 440.0, Rate, 2));
    setFormat(1);
    state.FunctionChoice = FunctionSplitByTime;
    state.SplitSeconds = 2;
    // Left just now by a copy of the program that was killed (or written on
    // a file system without locks): its name stays taken, and nobody
    // deletes it.
    const QString stale = QStringLiteral(".song_1.k3J9aQ.part.wav");
    writeFile(out(stale), "stale");
    // Someone saves a file under the name the first piece is written for.
    host.onCheckpoint = [&] {
        if (status(0) == "Converting" && !QFileInfo::exists(out("song_2.wav")))
            writeFile(out("song_2.wav"), "theirs");
    };
    SplitRun(context).Run(PiecePlan::Mode::Time);

    EXPECT_EQ(everything(), ".song_1.k3J9aQ.part.wav song_2.wav song_3.wav song_4.wav");
    EXPECT_EQ(contents(out(stale)), "stale");
    EXPECT_EQ(contents(out("song_2.wav")), "theirs");
    EXPECT_EQ(decode("song_3.wav").frames(), 2 * Rate);
    EXPECT_EQ(decode("song_4.wav").frames(), Rate);
}

TEST_F(OutputFailureTest, TheNextRunRemovesWhatAKilledOneLeftButNothingStillHeld) {
    addFile(QStringLiteral("song.ogg"), OggFixture::Tone(4.0, 440.0, Rate, 2));
    setFormat(1);
    QProcess killed;
    QProcess alive;
    const QString left = hold(killed, out("killed.wav"));
    const QString held = hold(alive, out("alive.wav"));
    ASSERT_FALSE(left.isEmpty()) << killed.readAllStandardError().toStdString();
    ASSERT_FALSE(held.isEmpty()) << alive.readAllStandardError().toStdString();
    ::kill(static_cast<pid_t>(killed.processId()), SIGKILL);
    ASSERT_TRUE(killed.waitForFinished(60000));
    ASSERT_TRUE(QFileInfo::exists(left));
    // A file of the user's that only looks like one.
    writeFile(out(".notes.part.wav"), "mine");
    for (const QString& path : {left, held, out(".notes.part.wav")})
        age(path);

    ASSERT_EQ(split(), QString());
    EXPECT_FALSE(QFileInfo::exists(left));
    EXPECT_TRUE(QFileInfo::exists(held));
    EXPECT_EQ(contents(out(".notes.part.wav")), "mine");
    // The held output's name was not given out.
    EXPECT_EQ(everything(),
              (QStringList{QFileInfo(held).fileName(), ".notes.part.wav", "song.wav", "song_1.wav"})
                  .join(' ')
                  .toStdString());
    alive.kill();
    alive.waitForFinished(60000);
}

TEST_F(OutputFailureTest, AJoinIsNamedOnlyWhenCompleteAndNeverOverAnUnexpectedFile) {
    const QString source = addFile(QStringLiteral("a.ogg"), OggFixture::Tone(3.0, 440.0, Rate, 2));
    // Not even when told to replace it is a source file written over.
    const QByteArray original = contents(source);
    EXPECT_THROW(JoinRun(context).Run(PiecePlan::Mode::Time, {source, 4, true}), Error);
    EXPECT_EQ(contents(source), original);

    writeFile(out("mix.wav"), "keep");
    // The user agrees to replace mix.wav, but the disk is full: the old
    // file is still there afterwards.
    state.Busy = false;
    desktop.saveAnswers.push_back({out("mix"), 2});
    desktop.confirmAnswers.push_back(true);
    try {
        FileSizeLimit full(100000);
        joinCommand();
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(),
                  QStringLiteral("Cannot write %1: %2").arg(out("mix.wav"), tooLarge()) +
                      RunCommand::StopHint);
    }
    EXPECT_EQ(everything(), "mix.wav");
    EXPECT_EQ(contents(out("mix.wav")), "keep");
    EXPECT_TRUE(desktop.openedUrls.empty());

    // A file of the new name turns up during the join: it stays, and the
    // user is told where the join went.
    state.Busy = false;
    desktop.saveAnswers.push_back({out("new"), 2});
    host.onCheckpoint = [&] {
        if (!QFileInfo::exists(out("new.wav")))
            writeFile(out("new.wav"), "theirs");
    };
    joinCommand();
    EXPECT_EQ(contents(out("new.wav")), "theirs");
    EXPECT_EQ(decode("new_1.wav").frames(), 3 * Rate);
    ASSERT_EQ(desktop.informations.size(), 1);
    EXPECT_TRUE(desktop.informations[0].contains("\"new_1.wav\""))
        << desktop.informations[0].toStdString();
    EXPECT_EQ(everything(), "mix.wav new.wav new_1.wav");
}

} // namespace

// Completed outputs are put on the disk at the end; a folder whose outputs
// cannot be synced is named, once. Only the folders asked for are waited for.
TEST_F(OutputFailureTest, CompletedOutputsAreSyncedOnceAFolderAndAFailureIsTold) {
    const auto every = [](const QString&) { return true; };
    PendingOutput::SyncCompleted(every);
    const QString gone = out(QStringLiteral("gone/"));
    // One output here and one in a folder then removed under it.
    const auto completeTwo = [&](const QString& name) {
        for (const QString& path : {out(name), gone + name}) {
            PendingOutput pending;
            pending.create(path);
            writeFile(pending.path(), "audio");
            pending.complete([] { return QString(); });
        }
        ASSERT_TRUE(QDir(gone).removeRecursively());
    };
    completeTwo(QStringLiteral("a.wav"));
    EXPECT_EQ(contents(out(QStringLiteral("a.wav"))), "audio");
    // Not waited for: nothing to tell, and nothing left for the next sync.
    EXPECT_TRUE(PendingOutput::SyncCompleted([](const QString&) { return false; }).isEmpty());
    EXPECT_TRUE(PendingOutput::SyncCompleted(every).isEmpty());

    completeTwo(QStringLiteral("b.wav"));
    const QStringList failures = PendingOutput::SyncCompleted(every);
    ASSERT_EQ(failures.size(), 1) << failures.join(' ').toStdString();
    EXPECT_TRUE(
        failures[0].startsWith(QStringLiteral("Cannot write the outputs in %1 to the disk: ")
                                   .arg(QFileInfo(gone).absolutePath())))
        << failures[0].toStdString();
    EXPECT_TRUE(PendingOutput::SyncCompleted(every).isEmpty());
}
