// The join run in each mode and the join command on generated Ogg sources.
#include "engine/JoinRun.h"

#include "core/RecordPieces.h"
#include "engine/RunSupport.h"
#include "platform/Error.h"
#include "tests/engine/CutShortReader.h"
#include "tests/engine/FailingWriter.h"
#include "tests/engine/RunFixture.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <cmath>

namespace {

constexpr int Rate = 44100;

OggFixture tone(double seconds, double frequency = 441.5, int rate = Rate, int channels = 2) {
    return OggFixture::Tone(seconds, frequency, rate, channels);
}

// Normalised correlation of n left-channel samples of two signals.
double correlation(const DecodedAudio& a, long long aFrom, const DecodedAudio& b, long long bFrom,
                   long long n) {
    double ab = 0, aa = 0, bb = 0;
    for (long long i = 0; i < n; ++i) {
        const double x = a.samples[static_cast<size_t>((aFrom + i) * a.channels)];
        const double y = b.samples[static_cast<size_t>((bFrom + i) * b.channels)];
        ab += x * y;
        aa += x * x;
        bb += y * y;
    }
    return ab / std::sqrt(aa * bb);
}

// Forwards to the real writer, noting the largest block it was given.
class BlockSizes : public FailingWriter {
public:
    explicit BlockSizes(IAudioFile2& real) : FailingWriter(real, 0) {}
    void WriteSamples(const SampleArray& samples) override {
        largest = std::max(largest, samples.frames());
        FailingWriter::WriteSamples(samples);
    }
    int largest = 0;
};

class JoinRunTest : public RunFixture {
protected:
    void SetUp() override { setFormat(1); }
    // The save dialog's answer: a name in the output folder and a filter
    // position (2 is WAV).
    void answer(const QString& path, int filterIndex = 2) {
        desktop.saveAnswers.push_back({path, filterIndex});
    }
    QByteArray contents(const QString& path) const {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
};

TEST_F(JoinRunTest, WholeJoinConvertsLaterFilesToTheFirstFilesRate) {
    addFile(QStringLiteral("first.ogg"), tone(2.0, 440.0));
    addFile(QStringLiteral("second.ogg"), tone(1.0, 1000.0, 22050));
    state.FunctionChoice = FunctionSplitByTime;
    const QString elsewhere = dir.filePath("elsewhere");
    QDir().mkpath(elsewhere);
    answer(elsewhere + "/mix");
    joinCommand();

    EXPECT_EQ(desktop.lastFilter, JoinRun::Filter);
    EXPECT_EQ(desktop.lastFilterIndex, 2);
    EXPECT_EQ(desktop.lastFolder, outDir);
    const DecodedAudio mix = decodeWithFfmpeg(elsewhere + "/mix.wav");
    EXPECT_EQ(mix.rate, Rate);
    EXPECT_EQ(mix.channels, 2);
    EXPECT_NEAR(mix.frames(), 3 * Rate, 100);
    const std::vector<float> left = mix.channel(0);
    const std::vector<float> first(left.begin(), left.begin() + 2 * Rate - 500);
    const std::vector<float> second(left.begin() + 2 * Rate + 500, left.end());
    EXPECT_NEAR(dominantFrequency(first, Rate), 440.0, 10.0);
    EXPECT_NEAR(dominantFrequency(second, Rate), 1000.0, 15.0);

    ASSERT_EQ(lvTime.count(), 1);
    EXPECT_EQ(lvTime.row(0), QStringList({"00:00:00 - 00:00:01", "00:00:01", "Finish"}));
    EXPECT_EQ(state.CurrentFile, 1);
    EXPECT_TRUE(host.texts.contains("100%"));
    EXPECT_EQ(host.runText(), "");
    EXPECT_FALSE(state.Busy);
    EXPECT_FALSE(writer.IsOpen());
    // The folder the join went to is opened, not the output folder.
    ASSERT_EQ(desktop.openedUrls.size(), 1u);
    EXPECT_EQ(desktop.openedUrls[0], QUrl::fromLocalFile(elsewhere + "/"));
    EXPECT_TRUE(outputs().isEmpty());
}

TEST_F(JoinRunTest, ASlowerLaterSourceIsJoinedInBlocksOfTheOutputsSize) {
    addFile(QStringLiteral("fast.ogg"), tone(1.0));
    addFile(QStringLiteral("slow.ogg"), tone(3.0, 441.5, 8000));
    state.FunctionChoice = FunctionSplitByTime;
    BlockSizes sizes(writer);
    RunContext sizedContext = runContext(desktop, host, nullptr, &sizes);
    answer(out("mix"));
    joinCommand(sizedContext);

    EXPECT_LE(sizes.largest, 2 * Rate + 1);
    EXPECT_NEAR(decode("mix.wav").frames(), 4 * Rate, 100);
}

TEST_F(JoinRunTest, OnlyTheFirstBlockOfTheJoinIsFadedIn) {
    addFile(QStringLiteral("a.ogg"), tone(2.0));
    addFile(QStringLiteral("b.ogg"), tone(2.0));
    state.FunctionChoice = FunctionSplitByCount;
    state.FadeIn = true;
    state.FadeInSeconds = 1;
    answer(out("mix"));
    joinCommand();

    const DecodedAudio mix = decode("mix.wav");
    ASSERT_EQ(mix.frames(), 4 * Rate);
    EXPECT_LT(gainAt(mix, 0.01), 0.05);
    EXPECT_NEAR(gainAt(mix, 0.5), 0.5, 0.05);
    EXPECT_NEAR(gainAt(mix, 1.5), 1.0, 0.05);
    EXPECT_NEAR(gainAt(mix, 2.01), 1.0, 0.05) << "the second file starts at full volume";
}

TEST_F(JoinRunTest, CustomJoinTakesConfirmedSegmentsAndLeavesCountsAlone) {
    addFile(QStringLiteral("a.ogg"), tone(3.0));
    addFile(QStringLiteral("b.ogg"), tone(1.0));
    setSegments(0, {{0, 1}, {2, 3}}, {0, 3});
    answer(out("mix"));
    joinCommand();

    const DecodedAudio mix = decode("mix.wav");
    ASSERT_EQ(mix.frames(), 3 * Rate);
    // The second second of the join is the third of the first file.
    const DecodedAudio a = decodeWithFfmpeg(state.JobList[0].FileName);
    EXPECT_GT(correlation(mix, Rate, a, 2 * Rate, 2000), 0.99);
    EXPECT_EQ(state.JobList[0].SegmentCount, 3);
    EXPECT_EQ(state.JobList[1].SegmentCount, 1);
    ASSERT_EQ(lvTime.count(), 1);
    EXPECT_EQ(status(0), "Finish");
}

// Segments start at second t × rate, not at a share of the whole seconds,
// and one to the end takes the file's last fraction of a second too.
TEST_F(JoinRunTest, SegmentsAreJoinedFromTheirExactFrames) {
    addFile(QStringLiteral("a.ogg"), tone(3.0001));
    setSegments(0, {{1, 2}, {2, 3}}, {0, 3});
    answer(out("mix"));
    joinCommand();

    const DecodedAudio mix = decode("mix.wav");
    ASSERT_EQ(mix.frames(), state.JobList[0].SampleCount - Rate);
    const DecodedAudio a = decodeWithFfmpeg(state.JobList[0].FileName);
    EXPECT_GT(correlation(mix, 0, a, Rate, 2000), 0.999);
}

// Marked pieces (a cue sheet's, labels') are joined from their exact frames,
// as a file's own segments and as the shared ones of every file.
TEST_F(JoinRunTest, MarkedPiecesAreJoinedFromTheirExactFrames) {
    addFile(QStringLiteral("a.ogg"), tone(3.0));
    addFile(QStringLiteral("b.ogg"), tone(2.0));
    RecordPieces::Adopt(state.JobList[0],
                        {{Rate / 4, Rate * 3 / 2, {}}, {Rate * 2, Rate * 2 + 1001, {}}}, {});
    answer(out("mix"));
    joinCommand();
    // The second file has no segments of its own and goes in whole.
    EXPECT_EQ(decode("mix.wav").frames(), Rate * 5 / 4 + 1001 + 2 * Rate);

    // The second file ends where the second piece begins.
    state.FunctionChoice = FunctionUnification;
    answer(out("all"));
    joinCommand();
    EXPECT_EQ(decode("all.wav").frames(), 2 * (Rate * 5 / 4) + 1001);
}

TEST_F(JoinRunTest, AJoinedFileGetsNoTags) {
    addFile(QStringLiteral("a.ogg"), tone(1.0));
    addFile(QStringLiteral("b.ogg"), tone(1.0));
    state.JobList[0].Tags.Title = QStringLiteral("First Song");
    state.JobList[1].Tags.Artist = QStringLiteral("Second Band");
    state.FunctionChoice = FunctionSplitByTime;
    answer(out("mix"), 4);
    joinCommand();

    const QByteArray joined = contents(out("mix.ogg"));
    ASSERT_FALSE(joined.isEmpty());
    EXPECT_FALSE(joined.contains("First Song"));
    EXPECT_FALSE(joined.contains("Second Band"));
    EXPECT_FALSE(joined.contains("Title="));
}

TEST_F(JoinRunTest, UnificationSkipsSegmentsPastAFilesEnd) {
    addFile(QStringLiteral("a.ogg"), tone(4.0));
    addFile(QStringLiteral("b.ogg"), tone(1.5));
    state.FunctionChoice = FunctionUnification;
    setSegments(0, {{0, 1}, {2, 3}}, {0, 4});
    answer(out("mix"));
    joinCommand();

    // 1 + 1 seconds of the first file; the second counts 1 whole second, so
    // its 0-1 spans all of its 1.5 s, and its 2-3 starts after its end and
    // yields nothing.
    EXPECT_EQ(decode("mix.wav").frames(), 2 * Rate + Rate * 3 / 2);
    ASSERT_EQ(lvTime.count(), 2);
    EXPECT_EQ(status(0), "Finish");
    EXPECT_EQ(status(1), "Finish");
    EXPECT_EQ(state.JobList[0].SegmentCount, 3);
}

TEST_F(JoinRunTest, FadeOutOverSeveralPiecesIsOneRampAndStaysInsideThePieces) {
    addFile(QStringLiteral("a.ogg"), tone(4.0));
    setSegments(0, {{0, 1}, {2, 3}}, {0, 4});
    state.FadeOut = true;
    state.FadeOutSeconds = 2;
    answer(out("mix"));
    joinCommand();

    const DecodedAudio mix = decode("mix.wav");
    ASSERT_EQ(mix.frames(), 2 * Rate);
    EXPECT_NEAR(gainAt(mix, 0.01), 1.0, 0.05);
    EXPECT_NEAR(gainAt(mix, 0.5), 0.75, 0.05);
    EXPECT_NEAR(gainAt(mix, 0.99), 0.5, 0.05);
    EXPECT_NEAR(gainAt(mix, 1.01), 0.5, 0.05);
    EXPECT_NEAR(gainAt(mix, 1.5), 0.25, 0.05);
    EXPECT_LT(gainAt(mix, 1.99), 0.05);
    // The second second comes from 2-3 s of the source, not from 1-2 s.
    const DecodedAudio a = decodeWithFfmpeg(state.JobList[0].FileName);
    EXPECT_GT(correlation(mix, Rate + 100, a, 2 * Rate + 100, 2000), 0.99);
}

TEST_F(JoinRunTest, FadeOutAcrossFilesOfDifferentRatesIsOneRampOfItsLength) {
    addFile(QStringLiteral("a.ogg"), tone(2.0));
    addFile(QStringLiteral("b.ogg"), tone(3.0, 441.5, 22050));
    state.FunctionChoice = FunctionSplitByTime;
    state.FadeOut = true;
    state.FadeOutSeconds = 4;
    answer(out("mix"));
    joinCommand();

    // Five seconds at 44100 Hz; the last four fall from full volume to
    // silence in one straight line, over the change of file and rate.
    const DecodedAudio mix = decode("mix.wav");
    ASSERT_NEAR(static_cast<double>(mix.frames()), 5.0 * Rate, 200);
    EXPECT_NEAR(gainAt(mix, 0.5), 1.0, 0.05);
    double last = 1.1;
    for (double t = 1.1; t < 4.95; t += 0.1) {
        const double gain = gainAt(mix, t);
        EXPECT_NEAR(gain, (5.0 - t) / 4.0, 0.04) << t;
        EXPECT_LT(gain, last + 0.01) << t;
        last = gain;
    }
}

// Healthy files of any two formats the converter takes join in either order,
// faded out or not, into exactly their frames at the first file's rate. A
// fade used to stop a read short of one output frame, which the join took
// for a source that had ended early.
TEST_F(JoinRunTest, AnyTwoFormatsJoinInEitherOrderWithAndWithoutAFade) {
    const std::pair<int, int> formats[] = {{8000, 1},  {8000, 2},  {22050, 1}, {32000, 2},
                                           {44100, 1}, {44100, 2}, {48000, 2}, {96000, 1}};
    std::vector<QString> files;
    std::vector<long long> frames;
    for (const auto& [rate, channels] : formats) {
        const QString name = QStringLiteral("%1_%2.ogg").arg(rate).arg(channels);
        files.push_back(OggFixture::Tone(1.37, 441.5, rate, channels).write(srcDir + name));
        frames.push_back(std::llround(1.37 * rate));
    }
    int joins = 0;
    for (size_t a = 0; a < files.size(); ++a)
        for (size_t b = 0; b < files.size(); ++b)
            for (const bool fade : {false, true}) {
                SCOPED_TRACE(testing::Message() << formats[a].first << "/" << formats[a].second
                                                << " then " << formats[b].first << "/"
                                                << formats[b].second << (fade ? " faded" : ""));
                lv.clear();
                for (const size_t f : {a, b}) {
                    AudioFile2 probe;
                    probe.Open(files[f], 0, 1);
                    listrecord record;
                    record.FileName = files[f];
                    record.Duration = probe.DurationMs() / 1000;
                    record.SampleCount = probe.SampleCount();
                    record.SampleRate = probe.SampleRate();
                    record.BeginTimes = {0};
                    record.EndTimes = {record.Duration};
                    record.Caption = QFileInfo(files[f]).fileName();
                    lv.append(record);
                }
                state.FunctionChoice = FunctionSplitByTime;
                state.FadeOut = fade;
                state.FadeOutSeconds = 1;
                const QString name = QStringLiteral("mix%1").arg(++joins);
                answer(out(name));
                joinCommand();
                ASSERT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join('\n').toStdString();
                const long long rate = formats[a].first;
                const long long expected = frames[a] + std::llround(static_cast<double>(frames[b]) *
                                                                    rate / formats[b].first);
                // The WAV page's rate may differ again from the first file's.
                const DecodedAudio mix = decode(name + ".wav");
                EXPECT_NEAR(static_cast<double>(mix.frames()),
                            static_cast<double>(expected) * mix.rate / rate, 8.0);
            }
}

TEST_F(JoinRunTest, ChoosingTheOutputNamesItOnce) {
    addFile(QStringLiteral("a.ogg"), tone(1.0));
    JoinRun join(context);
    JoinRun::Output chosen;

    answer(out("mix.mp3"), 1);
    ASSERT_TRUE(join.ChooseJoinOutput(chosen));
    EXPECT_EQ(chosen.path, out("mix.mp3"));
    EXPECT_EQ(chosen.filterIndex, 1);
    EXPECT_EQ(host.formatIndex(), 0);

    answer(out("Mix.OGG"), 4);
    ASSERT_TRUE(join.ChooseJoinOutput(chosen));
    EXPECT_EQ(chosen.path, out("Mix.OGG"));
    EXPECT_EQ(desktop.lastFilterIndex, 1) << "opens on the format of the box";

    answer(out("mix.wav"), 4);
    ASSERT_TRUE(join.ChooseJoinOutput(chosen));
    EXPECT_EQ(chosen.path, out("mix.wav.ogg"));

    // Cancelled, or nothing to join: nothing starts.
    EXPECT_FALSE(join.ChooseJoinOutput(chosen));
    lv.clear();
    desktop.lastFilterIndex = 0;
    answer(out("x"));
    EXPECT_FALSE(join.ChooseJoinOutput(chosen));
    EXPECT_EQ(desktop.lastFilterIndex, 0) << "no dialog for an empty list";
    EXPECT_TRUE(desktop.informations.isEmpty());
}

TEST_F(JoinRunTest, ANameThatFitsIsJoinedUnderIt) {
    addFile(QStringLiteral("a.ogg"), tone(1.0));
    // 250 bytes with ".wav": the temporary's name would pass the limit.
    const QString name = QString(246, QLatin1Char('j')) + ".wav";
    answer(out(name));
    joinCommand();
    EXPECT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join(' ').toStdString();
    EXPECT_EQ(outputs(), QStringList{name});
    EXPECT_EQ(decode(name).frames(), Rate);
    // The run reports what it wrote, for the front ends to list.
    const auto written = host.takeOutcome().written();
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0].path, out(name));
}

TEST_F(JoinRunTest, NeverJoinsIntoOneOfItsOwnSources) {
    const QString source = addFile(QStringLiteral("a.ogg"), tone(1.0));
    addFile(QStringLiteral("b.ogg"), tone(1.0));
    const QByteArray original = contents(source);
    // Typed without its extension, with the Ogg filter.
    answer(srcDir + "a", 4);
    joinCommand();

    ASSERT_EQ(desktop.informations.size(), 1);
    EXPECT_TRUE(desktop.informations[0].contains("a.ogg"));
    EXPECT_EQ(desktop.severities, std::vector{Desktop::Severity::Warning});
    EXPECT_EQ(host.formatIndex(), 1) << "a refused join leaves the format box alone";
    EXPECT_TRUE(desktop.confirmations.isEmpty());
    EXPECT_EQ(contents(source), original);
    EXPECT_TRUE(desktop.openedUrls.empty());
    EXPECT_FALSE(state.Busy);
}

TEST_F(JoinRunTest, AnExistingFileIsReplacedOnlyWhenTheUserSaysSo) {
    addFile(QStringLiteral("a.ogg"), tone(1.0));
    QFile f(out("old.wav"));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("keep");
    f.close();

    answer(out("old.wav"));
    desktop.confirmAnswers.push_back(false);
    setFormat(3);
    joinCommand();
    EXPECT_EQ(host.formatIndex(), 3);
    ASSERT_EQ(desktop.confirmations.size(), 1);
    EXPECT_TRUE(desktop.confirmations[0].contains("old.wav"));
    EXPECT_EQ(contents(out("old.wav")), "keep");
    EXPECT_TRUE(desktop.openedUrls.empty());

    answer(out("old.wav"));
    desktop.confirmAnswers.push_back(true);
    joinCommand();
    EXPECT_EQ(decode("old.wav").frames(), Rate);
}

TEST_F(JoinRunTest, AFailingWriterLeavesNoJoinedFileAndBusyStays) {
    addFile(QStringLiteral("a.ogg"), tone(3.0));
    FailingWriter failing(writer, 2);
    RunContext failingContext = runContext(desktop, host, nullptr, &failing);
    answer(out("mix"));
    EXPECT_THROW(joinCommand(failingContext), Error);

    EXPECT_TRUE(state.Busy);
    EXPECT_FALSE(writer.IsOpen());
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_TRUE(outputs().isEmpty()) << outputs().join(' ').toStdString();
    EXPECT_TRUE(desktop.openedUrls.empty());
    const RunOutcome outcome = host.takeOutcome();
    ASSERT_EQ(outcome.pieces.size(), 1u);
    EXPECT_EQ(outcome.pieces[0].status, RunOutcome::Status::Failed);
    EXPECT_FALSE(outcome.pieces[0].problem.isEmpty());
}

TEST_F(JoinRunTest, AReaderComingUpEmptyBeforeTheEndIsAnError) {
    const QString source = addFile(QStringLiteral("a.ogg"), tone(6.0));
    CutShortReader emptyFromSecondRead(reader, 2);
    RunContext cutContext = runContext(desktop, host, &emptyFromSecondRead);
    answer(out("mix"));
    try {
        joinCommand(cutContext);
        ADD_FAILURE() << "no error";
    } catch (const Error& e) {
        EXPECT_TRUE(e.message().contains(source) && e.message().contains("second 2"))
            << e.message().toStdString();
    }
    EXPECT_NE(lvTime.text(0, 2), "Finish");
    // A joined file the run could not finish is not left behind.
    EXPECT_TRUE(outputs().isEmpty()) << outputs().join(' ').toStdString();
    EXPECT_TRUE(state.Busy);
}

TEST_F(JoinRunTest, StopKeepsWhatWasJoinedAndStillOpensTheFolder) {
    addFile(QStringLiteral("a.ogg"), tone(3.0));
    addFile(QStringLiteral("b.ogg"), tone(3.0));
    state.FunctionChoice = FunctionSplitByTime;
    host.onCheckpoint = [&] {
        if (host.runText() == "33%" && state.Busy)
            RunSupport::StopRun(state, control, host);
    };
    answer(out("mix"));
    joinCommand();

    EXPECT_EQ(decode("mix.wav").frames(), 2 * Rate);
    EXPECT_EQ(state.CurrentFile, 0);
    EXPECT_FALSE(state.Busy);
    EXPECT_EQ(desktop.openedUrls.size(), 1u);
    EXPECT_TRUE(runBarEmpty());
    // The outcome holds what the file holds: the first two seconds of a.ogg.
    const RunOutcome outcome = host.takeOutcome();
    ASSERT_EQ(outcome.pieces.size(), 1u);
    EXPECT_EQ(outcome.pieces[0].joined,
              (std::vector<RunOutcome::Range>{{0, 0, 0, 2 * Rate, Rate}}));
}

} // namespace
