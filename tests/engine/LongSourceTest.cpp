// A source longer than 2^31 frames, taken into the job list and cut as the
// window and the command line do it. The source is a sparse RF64 file: 13
// hours of silence at 48 kHz with a tone at a known frame near its end.
#include "engine/ConfigureEncoder.h"
#include "engine/SourceIntake.h"
#include "engine/SplitRun.h"
#include "tests/engine/RunFixture.h"
#include "tests/support/SparseWav.h"

#include <algorithm>

namespace {

constexpr int Rate = 48000;
constexpr std::int64_t Hours13 = std::int64_t{13} * 3600 * Rate; // 2,246,400,000
constexpr std::int32_t CutAt = 12 * 3600 + 30 * 60;              // 12:30:00
constexpr std::int32_t ToneAfter = 10;                           // seconds into the piece

class LongSourceTest : public RunFixture {};

TEST_F(LongSourceTest, ThirteenHourFileOpensAndAnyMinuteIsCutExactly) {
    SparseWav wav;
    wav.rate = Rate;
    wav.frames = Hours13;
    wav.signalAt = std::int64_t{CutAt + ToneAfter} * Rate;
    wav.signal = SparseWav::Cosine(Rate, 2.0, 1000.0, 0.5);
    const QString path = srcDir + QStringLiteral("day.wav");
    const QString problem = wav.write(path);
    if (!problem.isEmpty())
        GTEST_SKIP() << "No sparse 13-hour WAV can be made here: " << problem.toStdString();

    // Measured as a file from the open dialog is.
    const SourceIntake::Result taken =
        SourceIntake(nullptr).Take(path, reader, SourceIntake::Source::OpenDialog);
    ASSERT_TRUE(taken.job) << taken.refusal.reason.toStdString();
    const listrecord& record = *taken.job;
    EXPECT_EQ(record.SampleCount, Hours13);
    EXPECT_EQ(record.SampleRate, Rate);
    EXPECT_EQ(record.Duration, 13 * 3600);
    EXPECT_EQ(record.SliderRange, 13 * 3600 * 2);
    lv.append(record);
    EXPECT_EQ(lv.text(0, JobListModel::TimeColumn), "13:00:00");
    setSegments(0, {{CutAt, CutAt + 60}}, {0, record.Duration});
    // FLAC keeps the source's rate and samples as they are.
    setFormat(OutputFlac);
    SplitRun(context).Run(PiecePlan::Mode::Custom);

    ASSERT_EQ(outputs(), QStringList{"day.flac"});
    const DecodedAudio piece = decode(QStringLiteral("day.flac"));
    EXPECT_EQ(piece.rate, Rate);
    ASSERT_EQ(piece.frames(), 60 * Rate);
    // The tone lies exactly where it lies in the source, to the frame.
    const std::vector<float> mono = piece.channel(0);
    const auto heard = [](float v) { return v != 0.0f; };
    const auto first = std::find_if(mono.begin(), mono.end(), heard) - mono.begin();
    const auto last = std::find_if(mono.rbegin(), mono.rend(), heard).base() - mono.begin() - 1;
    EXPECT_EQ(first, ToneAfter * Rate);
    EXPECT_EQ(last, ToneAfter * Rate + static_cast<std::ptrdiff_t>(wav.signal.size()) - 1);
    EXPECT_NEAR(mono[static_cast<size_t>(first)], wav.signal.front() / 32768.0, 1e-6);
    const std::vector<float> tone(mono.begin() + first, mono.begin() + last + 1);
    EXPECT_NEAR(dominantFrequency(tone, Rate), 1000.0, 5.0);
    EXPECT_EQ(status(0), "Finish");
}

} // namespace
