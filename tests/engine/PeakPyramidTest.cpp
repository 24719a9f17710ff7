// The editor's peak pyramid: every column at every zoom against the peaks
// worked out sample by sample, channels past the eighth lane, the memory a
// 13-hour file takes, a real recording, and cuts at zero crossings.
#include "engine/audio/PeakPyramid.h"
#include "engine/audio/PeakScanner.h"
#include "engine/audio/ZeroCrossing.h"
#include "tests/support/RealRecording.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <random>

namespace {

std::int16_t peakOf(float v) {
    return static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
}

// Noise whose loudness swells, so neighbouring bins differ.
std::vector<float> signal(long long frames, int channels) {
    std::mt19937 random(7);
    std::uniform_real_distribution<float> noise(-1.0f, 1.0f);
    std::vector<float> out(static_cast<size_t>(frames * channels));
    for (long long f = 0; f < frames; ++f)
        for (int c = 0; c < channels; ++c)
            out[static_cast<size_t>(f * channels + c)] =
                noise(random) * static_cast<float>(0.2 + 0.8 * std::abs(std::sin(f / 5000.0 + c)));
    return out;
}

} // namespace

TEST(PeakPyramid, ColumnsAtEveryZoomHoldTheSamplesPeaks) {
    struct Case {
        long long frames;
        int channels;
        int lanes;
    };
    for (const Case c : {Case{300000, 2, 2}, Case{100001, 1, 1}, Case{40000, 10, 8}}) {
        SCOPED_TRACE(c.channels);
        const std::vector<float> samples = signal(c.frames, c.channels);
        PeakPyramid pyramid(c.frames, c.channels);
        // Fed in uneven blocks, as a decoder delivers them.
        for (long long at = 0; at < c.frames;) {
            const int n = static_cast<int>(std::min<long long>(c.frames - at, 1000 + at % 777));
            pyramid.add(samples.data() + at * c.channels, n);
            at += n;
        }
        pyramid.finish();
        ASSERT_EQ(pyramid.lanes(), c.lanes);
        ASSERT_EQ(pyramid.frames(), c.frames);
        EXPECT_EQ(pyramid.levels() > 1, pyramid.bins(0) > 512);
        EXPECT_LE(pyramid.bins(pyramid.levels() - 1), 512u);

        // Columns as wide as bins of each level and in between, from odd starts.
        for (const double perColumn : {256.0, 1000.0, 4096.0, 30000.0}) {
            for (const double first : {0.0, 12345.0}) {
                std::vector<PeakPyramid::Peak> columns;
                const int count = 40;
                pyramid.columns(c.lanes - 1, first, perColumn, count, columns);
                for (int x = 0; x < count; ++x) {
                    const auto from = static_cast<long long>(first + x * perColumn);
                    const auto to =
                        std::min(c.frames, static_cast<long long>(first + (x + 1) * perColumn));
                    if (from >= c.frames) {
                        EXPECT_EQ(columns[static_cast<size_t>(x)], PeakPyramid::Peak{});
                        continue;
                    }
                    std::int16_t low = 32767;
                    std::int16_t high = -32768;
                    for (long long f = from; f < to; ++f)
                        for (int ch = c.lanes - 1; ch < c.channels; ++ch) {
                            const std::int16_t v =
                                peakOf(samples[static_cast<size_t>(f * c.channels + ch)]);
                            low = std::min(low, v);
                            high = std::max(high, v);
                        }
                    // A column holds its own frames' peaks and, at worst,
                    // those of the bins it shares with its neighbours.
                    const PeakPyramid::Peak got = columns[static_cast<size_t>(x)];
                    EXPECT_LE(got.low, low) << perColumn << " " << x;
                    EXPECT_GE(got.high, high) << perColumn << " " << x;
                    const long long bin = pyramid.binFrames(0) * 4;
                    const auto wideFrom = std::max(0LL, (from / bin - 1) * bin);
                    const auto wideTo = std::min(c.frames, (to / bin + 2) * bin);
                    std::int16_t wideLow = 32767;
                    std::int16_t wideHigh = -32768;
                    for (long long f = wideFrom; f < wideTo; ++f)
                        for (int ch = c.lanes - 1; ch < c.channels; ++ch) {
                            const std::int16_t v =
                                peakOf(samples[static_cast<size_t>(f * c.channels + ch)]);
                            wideLow = std::min(wideLow, v);
                            wideHigh = std::max(wideHigh, v);
                        }
                    if (perColumn <= static_cast<double>(bin)) {
                        EXPECT_GE(got.low, wideLow);
                        EXPECT_LE(got.high, wideHigh);
                    }
                }
            }
        }
    }
}

TEST(PeakPyramid, ThirteenHoursStayUnderFiftyMegabytesAndARealRecordingHasItsChannels) {
    const long long frames = 13LL * 3600 * 48000;
    const long long bin = PeakPyramid::BinFramesFor(frames, 2);
    // The finest level and the coarser ones, a third of it more.
    const double bytes = double(frames) / double(bin) * 2 * sizeof(PeakPyramid::Peak) * 4 / 3;
    EXPECT_LT(bytes, 50.0 * 1024 * 1024);
    EXPECT_EQ(PeakPyramid::BinFramesFor(44100 * 180, 2), PeakPyramid::MinBinFrames);

    const AudioOverview overview = PeakScanner::Scan(RealRecording());
    ASSERT_TRUE(overview.pyramid);
    EXPECT_EQ(overview.pyramid->lanes(), 2);
    EXPECT_EQ(overview.pyramid->frames(), overview.frames);
    // The whole file in one column gives the overview's own extremes.
    std::vector<PeakPyramid::Peak> whole;
    std::int16_t low = 0;
    std::int16_t high = 0;
    for (int lane = 0; lane < 2; ++lane) {
        overview.pyramid->columns(lane, 0, double(overview.frames), 1, whole);
        low = std::min(low, whole[0].low);
        high = std::max(high, whole[0].high);
    }
    EXPECT_EQ(low, *std::min_element(overview.low.begin(), overview.low.end()));
    EXPECT_EQ(high, *std::max_element(overview.high.begin(), overview.high.end()));
    EXPECT_LE(overview.bytes(), size_t{20} << 20);
}

TEST(ZeroCrossing, CutsMoveToTheNearestChangeOfSign) {
    // Stereo: the channels' sum changes sign where a sine at 100 Hz (rate
    // 8000) crosses zero, every 40 frames.
    SampleArray block;
    block.channels = 2;
    for (int f = 0; f < 400; ++f) {
        const float v = static_cast<float>(std::sin(2 * M_PI * 100 * (f + 0.5) / 8000));
        block.samples.push_back(v * 0.25f);
        block.samples.push_back(v * 0.5f);
    }
    EXPECT_EQ(ZeroCrossing::Nearest(block, 1000, 1000 + 43), 1000 + 40);
    EXPECT_EQ(ZeroCrossing::Nearest(block, 1000, 1000 + 77), 1000 + 80);
    SampleArray silence;
    silence.channels = 1;
    silence.samples.assign(100, 0.0f);
    EXPECT_EQ(ZeroCrossing::Nearest(silence, 0, 50), 50);

    // In a real recording the cut lands where the sum changes sign.
    const QString path = RealRecording();
    const long long target = 44100 * 7 + 123;
    const long long cut = ZeroCrossing::NearestIn(path, target);
    EXPECT_LE(std::llabs(cut - target), ZeroCrossing::SearchFrames);
    EXPECT_NE(cut, target);
}
