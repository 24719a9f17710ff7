// The split runs on generated Ogg sources, outputs decoded with FFmpeg.
#include "engine/SplitRun.h"
#include "engine/OutputNames.h"
#include "engine/RunSupport.h"
#include "engine/audio/VorbisDecoder.h"
#include "platform/Error.h"
#include "tests/engine/CutShortReader.h"
#include "tests/engine/FailingWriter.h"
#include "tests/engine/RunFixture.h"
#include "tests/support/OggInfo.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <cmath>

namespace {

constexpr int Wav = 1;
constexpr int Rate = 44100;

OggFixture tone(double seconds, double frequency = 440.0, int rate = Rate, int channels = 2) {
    return OggFixture::Tone(seconds, frequency, rate, channels);
}

QByteArray contents(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void writeFile(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class SplitRunTest : public RunFixture {
protected:
    void SetUp() override { setFormat(Wav); }
    void run(PiecePlan::Mode mode) { SplitRun(context).Run(mode); }
};

TEST_F(SplitRunTest, CustomCutsConfirmedSegmentsAndKeepsTheWorkingOne) {
    addFile(QStringLiteral("alpha.ogg"), tone(3.0, 441.5));
    addFile(QStringLiteral("beta.song.ogg"), tone(2.0, 1000.0));
    setSegments(0, {{0, 1}, {1, 3}}, {0, 3});
    // The second file was never confirmed: its single segment is cut as it is.
    run(PiecePlan::Mode::Custom);

    EXPECT_EQ(outputs(), QStringList({"alpha.wav", "alpha_1.wav", "beta.wav"}));
    EXPECT_EQ(decode("alpha.wav").frames(), Rate);
    EXPECT_EQ(decode("alpha_1.wav").frames(), 2 * Rate);
    const DecodedAudio beta = decode("beta.wav");
    EXPECT_EQ(beta.frames(), 2 * Rate);
    EXPECT_NEAR(dominantFrequency(beta.channel(0), beta.rate), 1000.0, 15.0);

    // The second piece starts one second in: it matches the source there.
    const DecodedAudio source = decodeWithFfmpeg(state.JobList[0].FileName);
    const DecodedAudio piece = decode("alpha_1.wav");
    double worst = 0;
    for (size_t i = 0; i < 2000; ++i)
        worst = std::max(worst, std::fabs(double(piece.samples[i]) - source.samples[2 * Rate + i]));
    EXPECT_LT(worst, 0.01);

    // The working segment is back in the count; the single segment stays 1.
    EXPECT_EQ(state.JobList[0].SegmentCount, 3);
    EXPECT_EQ(state.JobList[1].SegmentCount, 1);
    EXPECT_EQ(lvTime.count(), 1);
    EXPECT_EQ(status(0), "Finish");
    EXPECT_FALSE(state.Busy);
    EXPECT_EQ(state.CurrentFile, 1);
    EXPECT_EQ(host.focusCount, 2);
    EXPECT_EQ(host.runText(), "");
    EXPECT_TRUE(host.texts.contains("100%"));
    EXPECT_TRUE(runBarEmpty());
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_FALSE(writer.IsOpen());
}

TEST_F(SplitRunTest, TimeSplitOfAnExactMultipleWritesNoFileForItsEmptyLastPiece) {
    addFile(QStringLiteral("a.ogg"), tone(3.0));
    addFile(QStringLiteral("b.ogg"), tone(2.5));
    state.FunctionChoice = FunctionSplitByTime;
    state.SplitSeconds = 2;
    run(PiecePlan::Mode::Time);

    // 3 s: 0-2, 2-3; 2.5 s counts as 2 whole seconds: 0-2 and an empty 2-2,
    // which is listed but not written. The last piece written still runs on
    // to the last frame.
    EXPECT_EQ(outputs(), QStringList({"a_1.wav", "a_2.wav", "b_1.wav"}));
    EXPECT_EQ(decode("a_1.wav").frames(), 2 * Rate);
    EXPECT_EQ(decode("a_2.wav").frames(), Rate);
    EXPECT_EQ(decode("b_1.wav").frames(), 5 * Rate / 2);
    ASSERT_EQ(lvTime.count(), 2);
    EXPECT_EQ(lvTime.text(1, 0), "00:00:02 - 00:00:02");
    EXPECT_EQ(status(0), "Finish");
    EXPECT_EQ(status(1), "Unconvert");
    EXPECT_EQ(state.JobList[1].SegmentCount, 1);
}

TEST_F(SplitRunTest, ARunReadsTheSettingsFileOnceHoweverManyPiecesItConfigures) {
    writeFile(settings.path(), "[mp3]\nquality=7\n[ogg]\noggquality=1\n");
    // Last changed long ago, as a user's settings are.
    QFile aged(settings.path());
    ASSERT_TRUE(aged.open(QIODevice::ReadWrite));
    ASSERT_TRUE(aged.setFileTime(QDateTime::currentDateTime().addSecs(-3600),
                                 QFileDevice::FileModificationTime));
    addFile(QStringLiteral("a.ogg"), tone(8.0));
    state.FunctionChoice = FunctionSplitByTime;
    state.SplitSeconds = 1;
    setFormat(0);
    const int before = SettingsFile::FileReads();
    run(PiecePlan::Mode::Time);
    EXPECT_EQ(outputs().size(), 8);
    EXPECT_LE(SettingsFile::FileReads() - before, 1);
}

TEST_F(SplitRunTest, CountSplitOfAShortFileWritesNothingAndDropsTheRemainder) {
    addFile(QStringLiteral("short.ogg"), tone(2.0));
    addFile(QStringLiteral("long.ogg"), tone(3.5));
    state.FunctionChoice = FunctionSplitByCount;
    state.SplitCount = 3;
    run(PiecePlan::Mode::Count);

    // 2 s in 3 whole-second pieces: three empty pieces, no file.
    EXPECT_EQ(outputs(), QStringList({"long_1.wav", "long_2.wav", "long_3.wav"}));
    // 3 whole seconds in 3 pieces of 1; the last half second is not written.
    for (const char* name : {"long_1.wav", "long_2.wav", "long_3.wav"})
        EXPECT_EQ(decode(name).frames(), Rate) << name;
}

TEST_F(SplitRunTest, AFileThatGivesNothingToWriteIsNamedWithTheReason) {
    addFile(QStringLiteral("short.ogg"), tone(2.0));
    state.FunctionChoice = FunctionSplitByCount;
    state.SplitCount = 100000;
    run(PiecePlan::Mode::Count);

    EXPECT_TRUE(outputs().isEmpty());
    EXPECT_EQ(desktop.informations,
              QStringList{"Nothing was written from short.ogg: its 2 seconds cannot be cut into "
                          "100000 pieces of a second or more."});
    EXPECT_EQ(desktop.severities, std::vector{Desktop::Severity::Warning});
}

TEST_F(SplitRunTest, AnOddSampleCountCutsExactlyThePlannedFrames) {
    // Mono at 11025 Hz: every second is a block of an odd sample count. Each
    // piece holds exactly its second, none a frame more or less.
    addFile(QStringLiteral("mono.ogg"), tone(4.0, 440.0, 11025, 1));
    // WAV as the source is, so every frame shows.
    settings.WriteInteger(QStringLiteral("wav"), QStringLiteral("mode"), 2);
    settings.WriteInteger(QStringLiteral("wav"), QStringLiteral("frequency"), 1);
    settings.WriteInteger(QStringLiteral("wav"), QStringLiteral("channel"), 0);
    state.FunctionChoice = FunctionSplitByCount;
    state.SplitCount = 4;
    run(PiecePlan::Mode::Count);

    ASSERT_EQ(outputs().size(), 4);
    EXPECT_EQ(decode("mono_1.wav").frames(), 11025);
    EXPECT_EQ(decode("mono_2.wav").frames(), 11025);
    EXPECT_EQ(decode("mono_3.wav").frames(), 11025);
    EXPECT_EQ(decode("mono_4.wav").frames(), 11025);
}

TEST_F(SplitRunTest, UnificationCutsTheFirstFilesSegmentsFromEveryFile) {
    addFile(QStringLiteral("first.ogg"), tone(4.0));
    addFile(QStringLiteral("second.ogg"), tone(1.5, 1000.0));
    state.FunctionChoice = FunctionUnification;
    setSegments(0, {{0, 3}, {2, 4}}, {0, 4});
    // What the list showed before does not matter.
    lvTime.append({"x", "y", "z"});
    run(PiecePlan::Mode::Unified);

    // The second file is 1.5 s long, 1 s in whole seconds: 0-3 is cut at
    // its true end, 2-4 begins after it and ends its pieces.
    EXPECT_EQ(outputs(), QStringList({"first_1.wav", "first_2.wav", "second_1.wav"}));
    EXPECT_EQ(decode("first_1.wav").frames(), 3 * Rate);
    EXPECT_EQ(decode("first_2.wav").frames(), 2 * Rate);
    const DecodedAudio second = decode("second_1.wav");
    EXPECT_EQ(second.frames(), 3 * Rate / 2);
    EXPECT_NEAR(dominantFrequency(second.channel(0), second.rate), 1000.0, 15.0);
    ASSERT_EQ(lvTime.count(), 2);
    EXPECT_EQ(status(0), "Finish");
    EXPECT_EQ(status(1), "Finish");
    EXPECT_EQ(state.JobList[0].SegmentCount, 3);
    EXPECT_EQ(state.JobList[1].SegmentCount, 1);
}

TEST_F(SplitRunTest, FadesRampOverTheFirstBlockAndTheRemainder) {
    addFile(QStringLiteral("fade.ogg"), tone(3.0));
    setSegments(0, {{0, 3}}, {0, 3});
    state.FadeIn = true;
    state.FadeOut = true;
    state.FadeInSeconds = 1;
    state.FadeOutSeconds = 1;
    run(PiecePlan::Mode::Custom);

    const DecodedAudio a = decode("fade.wav");
    ASSERT_EQ(a.frames(), 3 * Rate);
    // In over exactly the first second, full in the middle, out over the last.
    EXPECT_LT(gainAt(a, 0.01), 0.05);
    EXPECT_NEAR(gainAt(a, 0.25), 0.25, 0.05);
    EXPECT_NEAR(gainAt(a, 0.5), 0.5, 0.05);
    EXPECT_NEAR(gainAt(a, 0.75), 0.75, 0.05);
    EXPECT_NEAR(gainAt(a, 1.5), 1.0, 0.05);
    EXPECT_NEAR(gainAt(a, 2.25), 0.75, 0.05);
    EXPECT_NEAR(gainAt(a, 2.5), 0.5, 0.05);
    EXPECT_LT(gainAt(a, 2.99), 0.05);
}

TEST_F(SplitRunTest, APieceShorterThanTheFadesGetsBothRampsAndStopsAtItsEnd) {
    addFile(QStringLiteral("short.ogg"), tone(3.0));
    addFile(QStringLiteral("inonly.ogg"), tone(3.0));
    setSegments(0, {{1, 2}}, {0, 3});
    setSegments(1, {{1, 2}}, {0, 3});
    state.FadeIn = true;
    state.FadeInSeconds = 2;
    state.FadeOutSeconds = 2;
    state.FadeOut = true;

    // Fades turned off during the run wait for the next: the run keeps
    // the options it started with.
    host.onCheckpoint = [&] {
        if (state.CurrentFile == 1)
            state.FadeOut = false;
    };
    run(PiecePlan::Mode::Custom);
    host.onCheckpoint = nullptr;

    for (const char* name : {"short.wav", "inonly.wav"}) {
        SCOPED_TRACE(name);
        const DecodedAudio both = decode(QString::fromLatin1(name));
        ASSERT_EQ(both.frames(), Rate);
        EXPECT_LT(gainAt(both, 0.01), 0.05);
        EXPECT_NEAR(gainAt(both, 0.5), 0.25, 0.05);
        EXPECT_LT(gainAt(both, 0.99), 0.05);
    }

    // The next run cuts with the fade-in alone: its one-second piece must
    // not take two seconds because the fade-in is longer.
    run(PiecePlan::Mode::Custom);
    const DecodedAudio in = decode("inonly_1.wav");
    ASSERT_EQ(in.frames(), Rate);
    EXPECT_LT(gainAt(in, 0.01), 0.05);
    EXPECT_NEAR(gainAt(in, 0.5), 0.5, 0.05);
    EXPECT_NEAR(gainAt(in, 0.99), 1.0, 0.05);
}

TEST_F(SplitRunTest, StopMidPieceLeavesCompleteFilesMarkedFinish) {
    addFile(QStringLiteral("one.ogg"), tone(6.0));
    addFile(QStringLiteral("two.ogg"), tone(2.0));
    state.FunctionChoice = FunctionSplitByTime;
    state.SplitSeconds = 4;
    // Blocks are two seconds long: stop once the first one is written.
    host.onCheckpoint = [&] {
        if (host.runText() == "50%" && state.Busy)
            RunSupport::StopRun(state, control, host);
    };
    run(PiecePlan::Mode::Time);

    EXPECT_EQ(outputs(), QStringList({"one_1.wav"}));
    EXPECT_EQ(decode("one_1.wav").frames(), 2 * Rate);
    EXPECT_EQ(status(0), "Finish");
    EXPECT_EQ(status(1), "Unconvert");
    EXPECT_EQ(state.CurrentFile, 0);
    EXPECT_FALSE(state.Busy);
    EXPECT_EQ(host.runText(), "");
    EXPECT_TRUE(runBarEmpty());
    EXPECT_FALSE(writer.IsOpen());
}

TEST_F(SplitRunTest, StopBeforeAPieceHasAudioLeavesNoFileForIt) {
    addFile(QStringLiteral("one.ogg"), tone(6.0));
    state.FunctionChoice = FunctionSplitByTime;
    state.SplitSeconds = 4;
    // Stop as the second piece begins, before its first block.
    host.onCheckpoint = [&] {
        if (status(1) == "Converting" && state.Busy)
            RunSupport::StopRun(state, control, host);
    };
    run(PiecePlan::Mode::Time);

    EXPECT_EQ(outputs(), QStringList({"one_1.wav"}));
    EXPECT_EQ(status(0), "Finish");
    EXPECT_EQ(status(1), "Unconvert");
    // The run's own account says the same.
    const std::vector<RunOutcome::Piece>& pieces = host.outcome().pieces;
    ASSERT_EQ(pieces.size(), 2u);
    EXPECT_EQ(QFileInfo(pieces[0].path).fileName(), "one_1.wav");
    EXPECT_EQ(pieces[0].status, RunOutcome::Status::Written);
    EXPECT_EQ(pieces[1].row, 1);
    EXPECT_EQ(pieces[1].status, RunOutcome::Status::LeftOut);
    EXPECT_EQ(pieces[1].path, "");
}

// The run's account of every piece: its frames (a stopped piece up to what
// it holds), its names, and the pieces a stop or a failure never started.
TEST_F(SplitRunTest, TheOutcomeTellsEveryPiecesFramesAndThoseNeverStarted) {
    addFile(QStringLiteral("one.ogg"), tone(10.0));
    state.FunctionChoice = FunctionSplitByTime;
    state.SplitSeconds = 4;
    const std::int64_t piece = 4 * Rate;
    for (const bool stop : {true, false}) {
        SCOPED_TRACE(stop ? "stopped" : "failed");
        QDir(outDir).removeRecursively();
        host.takeOutcome();
        state.Busy = false;
        // Stopped, or failed, once the second piece holds its first block.
        FailingWriter failing(writer, stop ? -1 : 3);
        RunContext runOn = runContext(desktop, host, nullptr, &failing);
        host.onCheckpoint = [&] {
            if (stop && status(1) == "Converting" && host.runProgress() > 0 &&
                host.runProgress() < 10000 && state.Busy)
                RunSupport::StopRun(state, control, host);
        };
        SplitRun split(runOn);
        if (stop)
            split.Run(PiecePlan::Mode::Time);
        else
            EXPECT_THROW(split.Run(PiecePlan::Mode::Time), Error);
        host.onCheckpoint = nullptr;

        const std::vector<RunOutcome::Piece> pieces = host.takeOutcome().pieces;
        ASSERT_EQ(pieces.size(), 3u);
        EXPECT_EQ(pieces[0].status, RunOutcome::Status::Written);
        EXPECT_EQ(pieces[0].begin, 0);
        EXPECT_EQ(pieces[0].end, piece);
        EXPECT_EQ(pieces[0].planned, out("one_1.wav"));
        EXPECT_EQ(decode("one_1.wav").frames(), piece);
        const RunOutcome::Piece& second = pieces[1];
        EXPECT_EQ(second.begin, piece);
        EXPECT_EQ(second.planned, out("one_2.wav"));
        if (stop) {
            // Ends where its file ends, not where it was to end.
            EXPECT_EQ(second.status, RunOutcome::Status::Written);
            EXPECT_LT(second.end, 2 * piece);
            EXPECT_EQ(decode("one_2.wav").frames(), second.end - second.begin);
        } else {
            EXPECT_EQ(second.status, RunOutcome::Status::Failed);
            EXPECT_EQ(second.path, "");
            EXPECT_FALSE(second.problem.isEmpty());
        }
        EXPECT_EQ(pieces[2].status, RunOutcome::Status::LeftOut);
        EXPECT_EQ(pieces[2].row, 2);
        EXPECT_EQ(pieces[2].begin, 2 * piece);
        EXPECT_EQ(pieces[2].end, OggFixture::Tone(10.0).frames());
        EXPECT_EQ(pieces[2].planned, out("one_3.wav"));
        EXPECT_FALSE(QFileInfo::exists(out("one_3.wav")));
    }
}

TEST_F(SplitRunTest, AMissingOutputFolderIsCreated) {
    addFile(QStringLiteral("one.ogg"), tone(1.0));
    state.OutputDir = outDir + QStringLiteral("new/deeper/");
    run(PiecePlan::Mode::Custom);

    EXPECT_EQ(decodeWithFfmpeg(state.OutputDir + "one.wav").frames(), Rate);
    EXPECT_EQ(status(0), "Finish");
    EXPECT_FALSE(state.Busy);
}

TEST_F(SplitRunTest, StoppedCustomRunGivesBackOnlyTheWorkingRowsItTook) {
    addFile(QStringLiteral("one.ogg"), tone(3.0));
    addFile(QStringLiteral("two.ogg"), tone(3.0));
    setSegments(0, {{0, 1}, {1, 3}}, {0, 3});
    setSegments(1, {{0, 1}}, {0, 3});
    host.onCheckpoint = [&] {
        if (status(1) == "Converting" && state.Busy)
            RunSupport::StopRun(state, control, host);
    };
    run(PiecePlan::Mode::Custom);

    // Stopped before its first block, the second piece leaves no file.
    EXPECT_EQ(outputs(), QStringList({"one.wav"}));
    EXPECT_EQ(state.JobList[0].SegmentCount, 3);
    EXPECT_EQ(state.JobList[1].SegmentCount, 2);
}

TEST_F(SplitRunTest, NeverWritesOverExistingFilesEvenPastAHundredVariants) {
    addFile(QStringLiteral("busy.ogg"), tone(1.0));
    writeFile(out("busy.wav"), "keep");
    for (int n = 1; n <= 100; ++n)
        writeFile(out(QStringLiteral("busy_%1.wav").arg(n)), "keep");
    run(PiecePlan::Mode::Custom);

    EXPECT_EQ(decode("busy_101.wav").frames(), Rate);
    EXPECT_EQ(contents(out("busy.wav")), "keep");
    EXPECT_EQ(contents(out("busy_100.wav")), "keep");
}

TEST_F(SplitRunTest, FallbackNameAfterAFailedCreateIsNeverASourceFile) {
    // Output into the sources' own folder, as Ogg: the fallback name of a
    // source is that source itself.
    const QString source = addFile(QStringLiteral("s.ogg"), tone(1.0));
    const QByteArray original = contents(source);
    writeFile(srcDir + "s_1.ogg", "keep");
    state.OutputDir = srcDir;
    setFormat(3);
    // A caption too long for a file name makes the first create fail.
    lv.setCaption(0, QString(300, QLatin1Char('x')) + ".ogg");
    run(PiecePlan::Mode::Custom);

    EXPECT_EQ(contents(source), original);
    EXPECT_EQ(contents(srcDir + "s_1.ogg"), "keep");
    const DecodedAudio fallback = decodeWithFfmpeg(srcDir + "s_2.ogg");
    EXPECT_EQ(fallback.codec, "vorbis");
    EXPECT_NEAR(fallback.seconds(), 1.0, 0.01);
    EXPECT_EQ(status(0), "Finish");
}

TEST_F(SplitRunTest, AFailingWriterEndsTheRunWithNothingOfThePieceLeftAndBusySet) {
    addFile(QStringLiteral("fail.ogg"), tone(3.0));
    addFile(QStringLiteral("never.ogg"), tone(1.0));
    setSegments(0, {{0, 3}}, {0, 3});
    FailingWriter failing(writer, 2);
    RunContext failingContext = runContext(desktop, host, nullptr, &failing);
    SplitRun split(failingContext);
    EXPECT_THROW(split.Run(PiecePlan::Mode::Custom), Error);

    EXPECT_TRUE(state.Busy) << "stays set until Stop";
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_FALSE(reader.IsOpen());
    // The block written before the failure went with the unfinished piece.
    EXPECT_TRUE(outputs().isEmpty()) << outputs().join(' ').toStdString();
    EXPECT_EQ(state.JobList[0].SegmentCount, 2);
    EXPECT_EQ(status(0), "Converting");
    EXPECT_FALSE(host.runText().isEmpty());
    ASSERT_EQ(host.outcome().pieces.size(), 1u);
    EXPECT_EQ(host.outcome().pieces[0].status, RunOutcome::Status::Failed);
    EXPECT_FALSE(host.outcome().pieces[0].problem.isEmpty());

    // After Stop nothing looks as if it were still being written: the row
    // shows what it showed before the run.
    RunSupport::StopRun(state, control, host);
    EXPECT_FALSE(state.Busy);
    EXPECT_EQ(status(0), "OK");
    EXPECT_EQ(host.runText(), "");
    EXPECT_TRUE(runBarEmpty());
}

TEST_F(SplitRunTest, AVanishedSourceEndsTheRunWithItsMessage) {
    addFile(QStringLiteral("here.ogg"), tone(1.0));
    const QString gone = addFile(QStringLiteral("gone.ogg"), tone(1.0));
    QFile::remove(gone);
    try {
        run(PiecePlan::Mode::Custom);
        FAIL() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains("gone.ogg")) << e.message().toStdString();
    }
    EXPECT_EQ(decode("here.wav").frames(), Rate);
    EXPECT_TRUE(state.Busy);
}

// A source that stops giving audio before its end ends the run with an error
// naming it and the second, whether the file was cut short while the run went
// on or the reader came up empty; the piece is not marked finished and the
// pieces before it stay.
TEST_F(SplitRunTest, ASourceEndingEarlyStopsTheRunWithoutFinishingThePiece) {
    const QString source = addFile(QStringLiteral("one.ogg"), tone(6.0));
    state.FunctionChoice = FunctionSplitByTime;
    state.SplitSeconds = 2;
    CutShortReader emptyFromSecondRead(reader, 2);
    RunContext cutContext = runContext(desktop, host, &emptyFromSecondRead);
    const QByteArray whole = contents(source);
    for (RunContext* run : {&context, &cutContext}) {
        QDir(outDir).removeRecursively();
        QDir().mkpath(outDir);
        writeFile(source, whole);
        host.onCheckpoint = [&] {
            // Once the first piece is done, two thirds of the source go.
            if (run == &context && status(0) == "Finish" &&
                QFileInfo(source).size() == whole.size())
                QFile(source).resize(whole.size() / 3);
        };
        try {
            SplitRun(*run).Run(PiecePlan::Mode::Time);
            ADD_FAILURE() << "no error";
        } catch (const Error& e) {
            // The second piece (seconds 2 to 4) is read on from the first,
            // so the read fails where the audio now ends within it.
            EXPECT_TRUE(e.message().contains(source) &&
                        e.message().contains(QRegularExpression("second [23]\\b")))
                << e.message().toStdString();
        }
        EXPECT_EQ(status(0), "Finish");
        EXPECT_NE(status(1), "Finish");
        EXPECT_EQ(decode("one_1.wav").frames(), 2 * Rate);
        EXPECT_TRUE(state.Busy);
        RunSupport::StopRun(state, control, host);
    }
}

TEST_F(SplitRunTest, ARunWorksFromItsRequestAndReturnsItsOutcome) {
    addFile(QStringLiteral("song.ogg"), tone(2.0));
    setSegments(0, {{0, 1}}, {0, 2});
    // A host that shows no rows: the run needs no list.
    ModelRunHost plain(Wav);
    RunContext on = runContext(desktop, plain);
    RunRequest request = RunRequest::Of(state, plain, settings);
    // The format box changing after the request was made does not reach it.
    plain.setFormatIndex(0);
    const RunOutcome outcome = SplitRun(on).Split(PiecePlan::Mode::Custom, request);

    ASSERT_FALSE(outcome.failure);
    EXPECT_EQ(outputs(), QStringList({"song.wav"}));
    ASSERT_EQ(outcome.pieces.size(), 1u);
    EXPECT_EQ(outcome.pieces[0].status, RunOutcome::Status::Written);
    EXPECT_EQ(outcome.pieces[0].path, out("song.wav"));
    EXPECT_EQ(outcome.pieces[0].end, Rate);
    EXPECT_TRUE(outcome.messages.empty());
    EXPECT_EQ(lvTime.count(), 0);
    // Taking the working segment off is the run's own business.
    EXPECT_EQ(state.JobList[0].SegmentCount, 2);
    EXPECT_FALSE(state.Busy);

    // A failure comes back in the outcome, thrown only when presented.
    request.jobs[0].FileName = srcDir + QStringLiteral("gone.ogg");
    const RunOutcome failed = SplitRun(on).Split(PiecePlan::Mode::Custom, request);
    EXPECT_TRUE(failed.failure);
    EXPECT_THROW(RunSupport::Present(failed, desktop), Error);
    // The run proper leaves the window's state alone: keeping it busy
    // after a failure is the front end's part (RunSupport::Carry).
    EXPECT_FALSE(state.Busy);
    EXPECT_EQ(plain.currentFile(), 0);
}

TEST_F(SplitRunTest, EveryFormatIsWrittenAndTaggedInTheFormatChosenAtTheStart) {
    addFile(QStringLiteral("song.ogg"), tone(3.0));
    state.JobList[0].Tags.Title = QStringLiteral("Quiet Song");
    state.FunctionChoice = FunctionSplitByCount;
    state.SplitCount = 3;
    const int formats[] = {0, 2, 3};
    const char* extensions[] = {"mp3", "wma", "ogg"};
    const char* codecs[] = {"mp3", "wmav2", "vorbis"};
    for (int i = 0; i < 3; ++i) {
        setFormat(formats[i]);
        // The format box changing during the run changes nothing of it.
        host.onCheckpoint = [&, i] { setFormat(formats[(i + 1) % 3]); };
        run(PiecePlan::Mode::Count);
        host.onCheckpoint = nullptr;
        for (int n = 1; n <= 3; ++n) {
            const QString name = QStringLiteral("song_%1.%2").arg(n).arg(extensions[i]);
            ASSERT_TRUE(QFileInfo::exists(out(name))) << name.toStdString();
            const DecodedAudio a = decode(name);
            EXPECT_TRUE(a.codec.startsWith(codecs[i])) << a.codec.toStdString();
            EXPECT_NEAR(a.seconds(), 1.0, 0.1) << name.toStdString();
            EXPECT_NEAR(dominantFrequency(a.channel(0), a.rate), 440.0, 10.0);
        }
    }
    EXPECT_EQ(outputs().size(), 9);
    // Tagged with the source's record after each output was closed.
    const QByteArray mp3 = contents(out("song_1.mp3"));
    EXPECT_TRUE(mp3.startsWith("ID3"));
    EXPECT_TRUE(mp3.contains("Quiet Song"));
    EXPECT_TRUE(contents(out("song_1.ogg")).contains("Quiet Song"));
}

// The frames vorbisfile decodes from `path`, from `from` on, interleaved.
std::vector<float> framesOf(const QString& path, long long from = 0, long long count = 1LL << 40) {
    VorbisDecoder decoder(path);
    decoder.seek(from);
    std::vector<float> all;
    while (count > 0) {
        const VorbisDecoder::Chunk chunk =
            decoder.read(static_cast<int>(std::min<long long>(count, 65536)));
        if (chunk.frames == 0)
            break;
        for (int i = 0; i < chunk.frames; ++i)
            for (int c = 0; c < chunk.channels; ++c)
                all.push_back(chunk.planes[c][i]);
        count -= chunk.frames;
    }
    return all;
}

// Second t is frame t × rate, also in a file whose length is no whole number
// of milliseconds, and a segment to the end takes the last fraction too.
TEST_F(SplitRunTest, SegmentsStartAtTheirExactFrameAndTheLastRunsToTheEnd) {
    const QString source = addFile(QStringLiteral("odd.ogg"), tone(3.0001, 441.5));
    const long long frames = state.JobList[0].SampleCount;
    ASSERT_EQ(frames, 132304);
    setSegments(0, {{1, 2}, {2, 3}}, {0, 3});
    run(PiecePlan::Mode::Custom);

    const std::vector<float> all = framesOf(source);
    const auto matches = [&](const QString& name, long long from, long long length) {
        const DecodedAudio piece = decode(name);
        ASSERT_EQ(piece.frames(), length) << name.toStdString();
        double worst = 0;
        for (size_t i = 0; i < piece.samples.size(); ++i)
            worst = std::max(worst, std::fabs(double(piece.samples[i]) -
                                              all[static_cast<size_t>(from * 2) + i]));
        EXPECT_LT(worst, 1e-3) << name.toStdString();
    };
    matches(QStringLiteral("odd.wav"), Rate, Rate);
    matches(QStringLiteral("odd_1.wav"), 2 * Rate, frames - 2 * Rate);
}

TEST_F(SplitRunTest, OggPiecesAreCopiedUnlessAFadeOrTheSettingSaysOtherwise) {
    // Mono 22050 Hz: re-encoding at the default settings gives stereo 44100.
    const QString source = addFile(QStringLiteral("talk.ogg"), tone(5.0, 440.0, 22050, 1));
    state.JobList[0].Tags.Title = QStringLiteral("Talk");
    state.FunctionChoice = FunctionSplitByTime;
    state.SplitSeconds = 2;
    setFormat(3);
    const auto split = [&] {
        QDir(outDir).removeRecursively();
        QDir().mkpath(outDir);
        host.texts.clear();
        run(PiecePlan::Mode::Time);
        EXPECT_EQ(outputs(), QStringList({"talk_1.ogg", "talk_2.ogg", "talk_3.ogg"}));
        for (int row = 0; row < 3; ++row)
            EXPECT_EQ(status(row), "Finish");
    };

    split();
    const int starts[] = {0, 2 * 22050, 4 * 22050};
    const int lengths[] = {2 * 22050, 2 * 22050, 22050};
    for (int k = 0; k < 3; ++k) {
        const QString piece = out(QStringLiteral("talk_%1.ogg").arg(k + 1));
        EXPECT_EQ(framesOf(piece), framesOf(source, starts[k], lengths[k])) << "piece " << k;
        EXPECT_EQ(decodeWithFfmpeg(piece).channels, 1);
        EXPECT_TRUE(contents(piece).contains("Title=Talk"));
        EXPECT_EQ(ogginfoWarnings(piece), QString());
        EXPECT_EQ(lvTime.note(k), "copied");
    }
    // The percentage stands alone; how the piece was made is on its row.
    EXPECT_TRUE(host.texts.contains("100%"));
    EXPECT_TRUE(host.texts.filter("copied").isEmpty()) << host.texts.join('|').toStdString();

    state.FadeIn = true;
    split();
    EXPECT_EQ(decode("talk_1.ogg").rate, 44100);
    EXPECT_EQ(lvTime.note(0), "re-encoded (fade)");
    EXPECT_TRUE(host.texts.filter("re-encoded").isEmpty()) << host.texts.join('|').toStdString();
    EXPECT_TRUE(contents(out("talk_1.ogg")).contains("Title=Talk"));

    state.FadeIn = false;
    settings.WriteBool(QStringLiteral("ogg"), QStringLiteral("copy"), false);
    split();
    EXPECT_EQ(decode("talk_2.ogg").rate, 44100);
    EXPECT_EQ(lvTime.note(1), "");
    EXPECT_TRUE(host.texts.contains("100%"));

    // The command line's --copy outranks the settings file.
    state.OggCopy = true;
    split();
    EXPECT_EQ(decode("talk_3.ogg").rate, 22050);
    EXPECT_EQ(lvTime.note(2), "copied");
}

TEST_F(SplitRunTest, TheOggSettingsShapeThePiecesWhenCopyingIsOff) {
    addFile(QStringLiteral("loud.ogg"), tone(3.0));
    setFormat(3);
    settings.WriteInteger(QStringLiteral("ogg"), QStringLiteral("frequency"), 4); // 22050 Hz
    settings.WriteInteger(QStringLiteral("ogg"), QStringLiteral("channel"), 0);   // mono
    settings.WriteInteger(QStringLiteral("ogg"), QStringLiteral("bitrate"), 5);   // 64 kbps
    // Written before the copy key existed: the changed settings were meant.
    run(PiecePlan::Mode::Custom);
    // Switched off in the dialog.
    settings.WriteBool(QStringLiteral("ogg"), QStringLiteral("copy"), false);
    run(PiecePlan::Mode::Custom);
    for (const char* name : {"loud.ogg", "loud_1.ogg"}) {
        const DecodedAudio piece = decode(name);
        EXPECT_EQ(piece.rate, 22050) << name;
        EXPECT_EQ(piece.channels, 1) << name;
        EXPECT_NEAR(piece.seconds(), 3.0, 0.05) << name;
    }
    EXPECT_EQ(lvTime.note(0), "");
}

TEST_F(SplitRunTest, AStopDuringACopiedPieceLeavesItCompleteAndFinished) {
    const QString source = addFile(QStringLiteral("long.ogg"), tone(30.0));
    setFormat(3);
    host.onCheckpoint = [&] {
        if (status(0) == "Converting" && lvTime.note(0) == "copied")
            RunSupport::StopRun(state, control, host);
    };
    run(PiecePlan::Mode::Custom);

    const std::vector<float> piece = framesOf(out("long.ogg"));
    EXPECT_GT(piece.size(), 0u);
    EXPECT_LT(piece.size(), 2u * 30 * Rate);
    EXPECT_EQ(piece, framesOf(source, 0, std::ssize(piece) / 2));
    EXPECT_EQ(status(0), "Finish");
    EXPECT_FALSE(state.Busy);
}

TEST_F(SplitRunTest, ANameThatFitsIsWrittenUnderItEvenAtTheLongestLength) {
    addFile(QStringLiteral("one.ogg"), tone(1.0));
    for (const int bytes : {242, 255}) {
        // 255 bytes with ".wav": the longest name a folder holds. Two-byte
        // letters, so the temporary's name is cut between whole characters.
        const QString caption = QString(bytes / 2 - 3, QChar(0x00e9)) +
                                QString(bytes - 4 - 2 * (bytes / 2 - 3), QLatin1Char('x'));
        lv.setCaption(0, caption);
        run(PiecePlan::Mode::Custom);
        const QString name = caption + ".wav";
        ASSERT_EQ(QFile::encodeName(name).size(), bytes);
        EXPECT_EQ(outputs(), QStringList{name}) << bytes;
        EXPECT_EQ(decode(name).frames(), Rate) << bytes;
        QFile::remove(out(name));
    }
}

TEST_F(SplitRunTest, TitlesNeverGiveHiddenNamesAndNumberFromTheSameStem) {
    addFile(QStringLiteral(".hidden start.ogg"), tone(3.0));
    addFile(QStringLiteral("b.ogg"), tone(2.0));
    lv.setCaption(1, QStringLiteral("..."));
    state.SplitSeconds = 1;
    run(PiecePlan::Mode::Time);
    EXPECT_EQ(outputs(), QStringList({"hidden start_1.wav", "hidden start_2.wav",
                                      "hidden start_3.wav", "untitled_1.wav", "untitled_2.wav"}));
}

TEST_F(SplitRunTest, AFolderThatCannotBeMadeSaysWhy) {
    addFile(QStringLiteral("one.ogg"), tone(1.0));
    writeFile(out("file"), "keep");
    state.OutputDir = out("file/new/");
    try {
        run(PiecePlan::Mode::Custom);
        ADD_FAILURE() << "the run went through";
    } catch (const Error& e) {
        EXPECT_EQ(e.message(), "Cannot create the folder " + out("file/new") + ": Not a directory");
    }
    EXPECT_EQ(contents(out("file")), "keep");
}

TEST(OutputNamesTest, BaseAndExtensionRules) {
    EXPECT_EQ(OutputNames::Base("a.b.ogg"), "a");
    EXPECT_EQ(OutputNames::Base(".hidden.ogg"), "hidden");
    EXPECT_EQ(OutputNames::Base("plain"), "plain");
    EXPECT_EQ(OutputNames::ChangeExtension("a.b", ".mp3"), "a.mp3");
    EXPECT_EQ(OutputNames::ChangeExtension("plain", ".mp3"), "plain.mp3");
    EXPECT_EQ(OutputNames::JoinOutput("mix.mp3", ".mp3"), "mix.mp3");
    EXPECT_EQ(OutputNames::JoinOutput("mix.MP3", ".mp3"), "mix.MP3");
    EXPECT_EQ(OutputNames::JoinOutput("mix.wav", ".mp3"), "mix.wav.mp3");
    EXPECT_EQ(OutputNames::Folder("/music"), "/music/");
}

TEST(OutputNamesTest, ALongNamesTemporaryFitsAndIsStillKnownAsPending) {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/";
    const QString name = QString(251, QLatin1Char('x')) + ".mp3";
    const QString temporary = QFileInfo(OutputNames::Temporary(folder + name, "x7Rq2b")).fileName();
    EXPECT_LE(QFile::encodeName(temporary).size(), 255);
    EXPECT_TRUE(temporary.startsWith('.'));
    EXPECT_TRUE(temporary.endsWith(".part.mp3"));
    EXPECT_TRUE(OutputNames::IsTemporary(temporary));
    EXPECT_NE(OutputNames::Temporary(folder + name, "x7Rq2b"),
              OutputNames::Temporary(folder + QString(250, QLatin1Char('x')) + "y.mp3", "x7Rq2b"));
    QFile f(folder + temporary);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_EQ(OutputNames::FreeVariant(folder + name),
              folder + QString(251, QLatin1Char('x')) + "_1.mp3");
    EXPECT_EQ(OutputNames::Temporary(folder + "song_1.mp3", "x7Rq2b"),
              folder + ".song_1.x7Rq2b.part.mp3");
}

TEST(OutputNamesTest, ATitleWithASlashStaysInTheOutputFolder) {
    QTemporaryDir dir;
    const QString folder = dir.path() + "/";
    const QString first = OutputNames::SplitOutput(folder, "AC/DC: Live", ".mp3", true);
    EXPECT_EQ(first, folder + "ACDC Live_1.mp3");
    QFile f(first);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_EQ(OutputNames::SplitOutput(folder, "AC/DC: Live", ".mp3", true),
              folder + "ACDC Live_2.mp3");
}

} // namespace
