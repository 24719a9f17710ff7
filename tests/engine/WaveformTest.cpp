// Silences, cuts at silences and the background overviews, on generated
// audio with known quiet stretches; peaks checked against FFmpeg's decode.
#include "engine/SilenceFinder.h"
#include "engine/SplitRun.h"
#include "engine/WaveformBuilder.h"
#include "engine/audio/PeakScanner.h"
#include "tests/engine/RunFixture.h"

#include <QSignalSpy>
#include <QTest>

#include <algorithm>
#include <cmath>

namespace {

constexpr int Wav = 1;

// Tone, 2 s quiet, tone, 2 s quiet, tone: 12 s with quiet at 3-5 and 8-10 s,
// so the middles are at 4 s and 9 s. `noiseDb` fills the quiet stretches with
// noise at that level instead of digital silence.
OggFixture speech(double noiseDb = 0) {
    OggFixture f = OggFixture::Tone(12.0, 330.0);
    f.quiet = {{3.0, 5.0}, {8.0, 10.0}};
    f.quietNoise = noiseDb < 0 ? static_cast<float>(std::pow(10.0, noiseDb / 20.0)) : 0.0f;
    return f;
}

class SilenceTest : public RunFixture, public ::testing::WithParamInterface<double> {};

TEST_P(SilenceTest, CutsComeOutAtTheMiddlesOfTheSilences) {
    const QString path = speech(GetParam()).write(srcDir + "speech.ogg");
    const AudioOverview overview = PeakScanner::Scan(path);
    const std::vector<Silence> silences = SilenceFinder::Find(overview, {-40.0, 1000});
    ASSERT_EQ(silences.size(), 2u);
    EXPECT_NEAR(silences[0].beginMs, 3000, 50);
    EXPECT_NEAR(silences[1].endMs, 10000, 50);

    const auto pieces = SilenceFinder::SplitAtSilences(silences, overview.durationMs(), 0);
    ASSERT_EQ(pieces.size(), 3u);
    EXPECT_NEAR(pieces[0].endMs, 4000, 50);
    EXPECT_NEAR(pieces[1].endMs, 9000, 50);
    EXPECT_EQ(pieces[2].endMs, 12000);
    // A last piece shorter than the minimum joins the one before.
    const auto merged = SilenceFinder::SplitAtSilences(silences, overview.durationMs(), 3500);
    ASSERT_EQ(merged.size(), 2u);
    EXPECT_NEAR(merged[0].endMs, 4000, 50);
    // Stricter than the noise: no silence at all.
    EXPECT_TRUE(SilenceFinder::Find(overview, {-80.0, 1000}).empty() || GetParam() == 0);
    // Longer than any quiet stretch: none either.
    EXPECT_TRUE(SilenceFinder::Find(overview, {-40.0, 2500}).empty());
}

INSTANTIATE_TEST_SUITE_P(DigitalAndNoise, SilenceTest, ::testing::Values(0.0, -50.0));

TEST(SilenceFinderTest, TimeCutsMoveToTheNearestSilenceOrStayAndSaySo) {
    const std::vector<Silence> silences = {{3000, 5000}, {8000, 10000}};
    // Cuts planned at 3, 6 and 9 s with a window of 1.5 s.
    const auto pieces = SilenceFinder::SplitByTime(silences, 12000, 3000, 1500);
    ASSERT_EQ(pieces.size(), 4u);
    EXPECT_EQ(pieces[0].endMs, 4000); // inside the first: its middle
    EXPECT_EQ(pieces[1].endMs, 4500); // 1 s after it: as near its middle as the window allows
    EXPECT_EQ(pieces[2].endMs, 9000);
    EXPECT_EQ(pieces[1].endCut, SilencePiece::Cut::Snapped);
    EXPECT_EQ(pieces[3].endMs, 12000);

    // A window too narrow to reach a silence leaves the cut and says so.
    const auto narrow = SilenceFinder::SplitByTime(silences, 12000, 3000, 500);
    EXPECT_EQ(narrow[1].endMs, 6000);
    EXPECT_EQ(narrow[1].endCut, SilencePiece::Cut::NoSilence);
    EXPECT_EQ(SilenceFinder::CutNote(narrow[1], 500),
              "No silence within 0.5 s of 00:00:06: the cut stays there.");
    EXPECT_EQ(narrow[0].endMs, 3500); // inside a silence, kept within the window

    // Marks go to the whole second inside the silence nearest the edge.
    EXPECT_EQ(SilenceFinder::SnapMarkSeconds({{3200, 5700}}, 6000, 2000), 5);
    EXPECT_EQ(SilenceFinder::SnapMarkSeconds({{3200, 5700}}, 2500, 2000), 4);
    EXPECT_FALSE(SilenceFinder::SnapMarkSeconds({{3200, 5700}}, 9000, 2000));
}

TEST(PeakScannerTest, PeaksMatchADirectDecode) {
    QTemporaryDir dir;
    const QString path = OggFixture::NoiseAndSweep(3.0, 44100, 2).write(dir.filePath("n.ogg"));
    const AudioOverview overview = PeakScanner::Scan(path);
    const DecodedAudio decoded = decodeWithFfmpeg(path);
    ASSERT_EQ(overview.frames, decoded.frames());
    ASSERT_EQ(overview.framesPerBin, 441);
    ASSERT_EQ(static_cast<long long>(overview.bins()), (decoded.frames() + 440) / 441);

    for (std::size_t k = 0; k < overview.bins(); ++k) {
        const auto from = static_cast<std::size_t>(overview.binStart(k) * decoded.channels);
        const auto to = std::min(decoded.samples.size(),
                                 from + static_cast<std::size_t>(441 * decoded.channels));
        const auto [low, high] = std::minmax_element(decoded.samples.begin() + long(from),
                                                     decoded.samples.begin() + long(to));
        ASSERT_NEAR(overview.low[k] / 32767.0, std::min(0.0f, *low), 0.01) << "bin " << k;
        ASSERT_NEAR(overview.high[k] / 32767.0, std::max(0.0f, *high), 0.01) << "bin " << k;
    }
    // Long files get longer bins, never more than the limit.
    const long long tenHours = 36000LL * 44100;
    EXPECT_LE(tenHours / PeakScanner::FramesPerBin(44100, tenHours), PeakScanner::MaxBins);
}

TEST(WaveformBuilderTest, CalledOffFilesNeverArriveAndTheCacheStaysBounded) {
    QTemporaryDir dir;
    const QString longFile = OggFixture::NoiseAndSweep(60.0).write(dir.filePath("long.ogg"));
    const QString a = OggFixture::Tone(2.0).write(dir.filePath("a.ogg"));
    const QString b = OggFixture::Tone(2.0, 550.0).write(dir.filePath("b.ogg"));
    const QString broken = dir.filePath("broken.ogg");
    QFile(broken).open(QIODevice::WriteOnly);

    // Room for about one short file.
    WaveformBuilder builder(PeakScanner::Scan(a).bytes() + 1024);
    QSignalSpy ready(&builder, &WaveformBuilder::ready);
    QSignalSpy failed(&builder, &WaveformBuilder::failed);
    builder.request(longFile);
    builder.request(a);
    builder.cancel(longFile);
    EXPECT_FALSE(builder.isPending(longFile));
    builder.request(broken);
    ASSERT_TRUE(QTest::qWaitFor([&] { return builder.pendingCount() == 0; }, 60000));
    EXPECT_EQ(ready.count(), 1);
    EXPECT_EQ(ready.at(0).at(0).toString(), a);
    EXPECT_EQ(failed.count(), 1);
    EXPECT_FALSE(builder.failure(broken).isEmpty());
    EXPECT_FALSE(builder.overview(longFile));

    builder.request(b, true);
    ASSERT_TRUE(QTest::qWaitFor([&] { return builder.overview(b) != nullptr; }, 60000));
    // The older file made room.
    EXPECT_FALSE(builder.overview(a));
    EXPECT_LE(builder.memoryUsed(), builder.memoryLimit());

    // Clearing while the long file is being read: the builder is free at once
    // and its destructor only waits for the current block.
    builder.request(longFile);
    builder.cancelAll();
    EXPECT_EQ(builder.pendingCount(), 0);

    // Asking again and again for the file being computed (as the window does
    // while it waits) never starts it over.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] {
            builder.request(longFile, true);
            return builder.overview(longFile) != nullptr;
        },
        60000));
}

class SilenceRunTest : public RunFixture {
protected:
    void SetUp() override { setFormat(Wav); }
};

TEST_F(SilenceRunTest, SplitAtSilencesWritesTheSoundBetweenThem) {
    addFile("speech.ogg", speech(-50.0));
    state.SilenceMinimumPiece = 1;
    SplitRun(context).Run(PiecePlan::Mode::Silence);

    EXPECT_EQ(outputs(), QStringList({"speech_1.wav", "speech_2.wav", "speech_3.wav"}));
    EXPECT_NEAR(decode("speech_1.wav").seconds(), 4.0, 0.05);
    EXPECT_NEAR(decode("speech_2.wav").seconds(), 5.0, 0.1);
    EXPECT_NEAR(decode("speech_3.wav").seconds(), 3.0, 0.05);
    EXPECT_EQ(lvTime.count(), 3);
    EXPECT_EQ(status(2), "Finish");
}

TEST_F(SilenceRunTest, TimeSplitWithSnapMovesCutsToTheNearestSilence) {
    addFile("speech.ogg", speech());
    state.SplitSeconds = 3;
    state.SnapToSilence = true;
    state.SnapSeconds = 1;
    SplitRun(context).Run(PiecePlan::Mode::Time);

    // Cuts at 3 -> 4 (inside), 6 -> 5 (the window's edge), 9 -> 9 (inside).
    ASSERT_EQ(lvTime.count(), 4);
    EXPECT_NEAR(decode("speech_1.wav").seconds(), 4.0, 0.05);
    EXPECT_NEAR(decode("speech_2.wav").seconds(), 1.0, 0.05);
    EXPECT_TRUE(lvTime.note(0).startsWith("Cut moved from 00:00:03"));
}

TEST_F(SilenceRunTest, TimeSplitWithSnapLeavesACutWithoutSilenceAndSaysSo) {
    addFile("tone.ogg", OggFixture::Tone(8.0));
    state.SplitSeconds = 6;
    state.SnapToSilence = true;
    state.SnapSeconds = 2;
    SplitRun(context).Run(PiecePlan::Mode::Time);

    ASSERT_EQ(lvTime.count(), 2);
    EXPECT_NEAR(decode("tone_1.wav").seconds(), 6.0, 0.01);
    EXPECT_EQ(lvTime.note(0), "No silence within 2 s of 00:00:06: the cut stays there.");
    EXPECT_EQ(status(1), "Finish");
}

} // namespace
