// The reader: decoding, exact seeking, block sizes, format conversion and
// refusing what cannot be decoded.
#include "engine/audio/AudioReader.h"
#include "engine/audio/AudioFile2.h"
#include "platform/Error.h"
#include "tests/support/EncoderCorpus.h"
#include "tests/support/FfmpegDecoder.h"
#include "tests/support/OggFixture.h"
#include "tests/support/OggPages.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>
#include <utility>

namespace {

class AudioReaderTest : public ::testing::Test {
protected:
    QString path(const QString& name) const { return dir.filePath(name); }

    QString tone(const QString& name, int rate, int channels, double seconds,
                 double frequency = 440.0) const {
        return OggFixture::Tone(seconds, frequency, rate, channels).write(path(name));
    }

    static std::vector<float> readAll(AudioFile2& file, int block) {
        std::vector<float> all;
        for (;;) {
            const SampleArray a = file.ReadSamples(block);
            if (a.empty())
                return all;
            all.insert(all.end(), a.samples.begin(), a.samples.end());
        }
    }

    // Opening must fail with a message that names the file and contains `why`.
    static void expectRefused(const QString& file, const QString& why) {
        AudioFile2 reader;
        try {
            reader.Open(file, 0, 1);
            ADD_FAILURE() << "opened " << file.toStdString();
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().contains(QFileInfo(file).fileName()) &&
                        e.message().contains(why))
                << e.message().toStdString();
        }
    }

    // The largest difference between two sample runs of the same length.
    static float maxDifference(const std::vector<float>& a, const std::vector<float>& b,
                               size_t from, size_t to) {
        float worst = 0;
        for (size_t i = from; i < to; ++i)
            worst = std::max(worst, std::abs(a[i] - b[i]));
        return worst;
    }

    QTemporaryDir dir;
};

TEST_F(AudioReaderTest, ReportsTheFileFormatAndLength) {
    AudioFile2 reader;
    reader.Open(tone("a.ogg", 44100, 2, 2.5), 0, 1);
    EXPECT_TRUE(reader.IsOpen());
    EXPECT_EQ(reader.SampleRate(), 44100);
    EXPECT_EQ(reader.Channels(), 2);
    EXPECT_EQ(reader.SampleCount(), 110250);
    EXPECT_EQ(reader.DurationMs(), 2500);
    reader.Close();
    EXPECT_FALSE(reader.IsOpen());
    EXPECT_EQ(reader.SampleCount(), 0);
}

TEST_F(AudioReaderTest, DurationIsTruncatedToWholeMilliseconds) {
    AudioFile2 reader;
    OggFixture fixture;
    fixture.rate = 22050;
    fixture.channels = 1;
    fixture.seconds = 12345.0 / 22050; // 559.86 ms
    reader.Open(fixture.write(path("short.ogg")), 0, 1);
    EXPECT_EQ(reader.SampleCount(), 12345);
    EXPECT_EQ(reader.DurationMs(), 559);
}

TEST_F(AudioReaderTest, DeliversExactlyTheFramesAskedForAndEmptyAtTheEnd) {
    AudioFile2 reader;
    reader.Open(tone("a.ogg", 44100, 2, 1.0), 0, 1);
    long long total = 0;
    for (;;) {
        const SampleArray block = reader.ReadSamples(10000);
        if (block.empty())
            break;
        EXPECT_EQ(block.channels, 2);
        EXPECT_EQ(block.UpperBound() % 2, 0);
        if (total + 10000 <= 44100) {
            EXPECT_EQ(block.frames(), 10000);
        }
        total += block.frames();
    }
    EXPECT_EQ(total, 44100);
    EXPECT_TRUE(reader.ReadSamples(10000).empty());
    EXPECT_TRUE(reader.ReadSamples(0).empty());
}

// However the caller cuts the stream into blocks, and whatever it is
// converted to, the samples delivered are exactly those of one big read.
// (Blocks of at least two file frames: one frame can become none when the
// rate goes down, and an empty block means the end.)
TEST_F(AudioReaderTest, BlockSizesNeverChangeTheSamples) {
    const QString busy = OggFixture::NoiseAndSweep(3.0, 22050, 2).write(path("busy.ogg"));
    const struct {
        int rate;
        int channels;
    } formats[] = {{22050, 2}, {44100, 2}, {16000, 1}};
    for (const auto& format : formats) {
        AudioFile2 reader;
        reader.Open(busy, 0, 1);
        reader.SetSampleFormat(format.rate, format.channels);
        const std::vector<float> whole = reader.ReadSamples(reader.SampleCount() + 1).samples;
        ASSERT_FALSE(whole.empty());
        for (const std::vector<int>& sizes :
             std::vector<std::vector<int>>{{2}, {4095}, {44100}, {2, 30000, 7, 4096, 50000, 3}}) {
            reader.Seek(0, 3);
            std::vector<float> joined;
            for (size_t i = 0;; ++i) {
                const SampleArray block = reader.ReadSamples(sizes[i % sizes.size()]);
                if (block.empty())
                    break;
                joined.insert(joined.end(), block.samples.begin(), block.samples.end());
            }
            EXPECT_TRUE(joined == whole) << format.rate << " Hz, " << format.channels
                                         << " channels, first block " << sizes.front();
        }
    }
}

// Decoding ahead on a second thread delivers exactly what decoding in step
// does, through seeks, format changes, switching it off and on midway, and
// the links of a chained file, to its end.
TEST_F(AudioReaderTest, ReadingAheadDeliversExactlyTheSameSamples) {
    QFile chained(path("chained.ogg"));
    ASSERT_TRUE(chained.open(QIODevice::WriteOnly));
    for (const QString& link : {OggFixture::NoiseAndSweep(3.0).write(path("a.ogg")),
                                OggFixture::NoiseAndSweep(2.0, 22050, 1).write(path("b.ogg"))}) {
        QFile f(link);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        chained.write(f.readAll());
    }
    chained.close();

    AudioReader inStep(chained.fileName());
    AudioReader ahead(chained.fileName());
    ahead.setReadAhead(true);
    // Switching off only matters once the thread has decoded ahead.
    const auto waitForSteps = [&] {
        QElapsedTimer deadline;
        deadline.start();
        while (ahead.stepsAhead() == 0 && deadline.elapsed() < 20000)
            QThread::yieldCurrentThread();
        ASSERT_GT(ahead.stepsAhead(), 0u);
    };
    enum What { Read, Seek, Format, AheadOff, AheadOn };
    const struct {
        What what;
        int a;
        int b;
    } script[] = {{Read, 30000, 0}, {Read, 7, 0},      {AheadOff, 0, 0},  {Read, 50000, 0},
                  {Read, 9000, 0},  {AheadOn, 0, 0},   {Read, 44100, 0},  {Format, 48000, 1},
                  {Read, 20000, 0}, {Seek, 10000, 0},  {Read, 88200, 0},  {Format, 44100, 2},
                  {Read, 1000, 0},  {Seek, 120000, 0}, {Read, 100000, 0}, {Read, 100000, 0}};
    int step = 0;
    for (const auto& op : script) {
        ++step;
        switch (op.what) {
        case Read: {
            const SampleArray expected = inStep.read(op.a);
            const SampleArray got = ahead.read(op.a);
            EXPECT_EQ(got.channels, expected.channels) << "step " << step;
            EXPECT_TRUE(got.samples == expected.samples) << "step " << step;
            break;
        }
        case Seek:
            inStep.seek(op.a);
            ahead.seek(op.a);
            break;
        case Format:
            inStep.setOutputFormat(op.a, op.b);
            ahead.setOutputFormat(op.a, op.b);
            break;
        case AheadOff:
            waitForSteps();
            ahead.setReadAhead(false);
            break;
        case AheadOn:
            ahead.setReadAhead(true);
            break;
        }
    }
    for (;;) {
        const SampleArray expected = inStep.read(65536);
        const SampleArray got = ahead.read(65536);
        ASSERT_TRUE(got.samples == expected.samples);
        if (expected.empty())
            break;
    }
}

TEST_F(AudioReaderTest, SeekLandsOnTheExactFrame) {
    AudioFile2 reader;
    reader.Open(tone("a.ogg", 44100, 2, 2.0, 1000.0), 0, 1);
    const std::vector<float> all = readAll(reader, 4096);
    ASSERT_EQ(all.size(), 88200u * 2);

    for (const int frame : {0, 1, 777, 44100, 65537, 88199}) {
        reader.Seek(frame, 3);
        const SampleArray block = reader.ReadSamples(300);
        ASSERT_EQ(block.frames(), std::min(300, 88200 - frame)) << frame;
        for (int i = 0; i < block.UpperBound(); ++i)
            ASSERT_NEAR(block.samples[i], all[static_cast<size_t>(frame) * 2 + i], 1e-4)
                << "frame " << frame << " sample " << i;
    }
    // Past the end there is nothing; before the start means the start.
    reader.Seek(200000, 3);
    EXPECT_TRUE(reader.ReadSamples(100).empty());
    reader.Seek(-5, 3);
    EXPECT_EQ(reader.ReadSamples(100).frames(), 100);
}

TEST_F(AudioReaderTest, ConvertsRateButCountsInFileFrames) {
    AudioFile2 reader;
    reader.Open(tone("low.ogg", 22050, 2, 1.0, 440.0), 0, 1);
    reader.SetSampleFormat(44100, 2);
    // The file's own format and length still describe the file.
    EXPECT_EQ(reader.SampleRate(), 22050);
    EXPECT_EQ(reader.SampleCount(), 22050);

    const SampleArray first = reader.ReadSamples(5000);
    EXPECT_EQ(first.frames(), 10000);
    std::vector<float> all = first.samples;
    const std::vector<float> rest = readAll(reader, 5000);
    all.insert(all.end(), rest.begin(), rest.end());
    EXPECT_NEAR(static_cast<double>(all.size() / 2), 44100.0, 2.0);

    std::vector<float> left;
    for (size_t i = 0; i < all.size(); i += 2)
        left.push_back(all[i]);
    EXPECT_NEAR(dominantFrequency(left, 44100), 440.0, 5.0);
}

TEST_F(AudioReaderTest, DownsamplesAndMixesChannels) {
    AudioFile2 reader;
    reader.Open(tone("hi.ogg", 48000, 2, 1.0, 500.0), 0, 1);
    reader.SetSampleFormat(16000, 1);
    const SampleArray block = reader.ReadSamples(48000);
    EXPECT_EQ(block.channels, 1);
    EXPECT_EQ(block.frames(), 16000);
    EXPECT_NEAR(dominantFrequency(block.samples, 16000), 500.0, 5.0);
    EXPECT_NEAR(rms(block.samples, 1000, 15000), 0.5 / std::sqrt(2.0), 0.02);
}

TEST_F(AudioReaderTest, CopiesMonoToBothChannels) {
    AudioFile2 reader;
    reader.Open(tone("mono.ogg", 44100, 1, 0.5), 0, 1);
    reader.SetSampleFormat(44100, 2);
    const SampleArray block = reader.ReadSamples(1000);
    ASSERT_EQ(block.frames(), 1000);
    for (int f = 0; f < 1000; ++f)
        ASSERT_EQ(block.samples[f * 2], block.samples[f * 2 + 1]);
}

TEST_F(AudioReaderTest, OpenDeliversTheFileFormatAgain) {
    AudioFile2 reader;
    reader.Open(tone("a.ogg", 22050, 1, 0.5), 0, 1);
    reader.SetSampleFormat(44100, 2);
    reader.Close();
    reader.Open(path("a.ogg"), 0, 1);
    const SampleArray block = reader.ReadSamples(100);
    EXPECT_EQ(block.channels, 1);
    EXPECT_EQ(block.frames(), 100);
}

TEST_F(AudioReaderTest, ChangingFormatMidwayLosesNoAudio) {
    AudioFile2 reader;
    reader.Open(tone("a.ogg", 44100, 2, 1.0), 0, 1);
    EXPECT_EQ(reader.ReadSamples(10000).frames(), 10000);
    reader.SetSampleFormat(44100, 1);
    const std::vector<float> rest = readAll(reader, 7000);
    EXPECT_EQ(rest.size(), 34100u);
}

TEST_F(AudioReaderTest, ChainedLinksComeOutInTheFirstLinksFormat) {
    const QString a = tone("a.ogg", 44100, 2, 1.0, 440.0);
    const QString b = tone("b.ogg", 22050, 1, 1.0, 440.0);
    QFile chained(path("chained.ogg"));
    ASSERT_TRUE(chained.open(QIODevice::WriteOnly));
    for (const QString& part : {a, b}) {
        QFile f(part);
        ASSERT_TRUE(f.open(QIODevice::ReadOnly));
        chained.write(f.readAll());
    }
    chained.close();

    AudioFile2 reader;
    reader.Open(chained.fileName(), 0, 1);
    EXPECT_EQ(reader.SampleRate(), 44100);
    EXPECT_EQ(reader.Channels(), 2);
    EXPECT_EQ(reader.DurationMs(), 2000);
    // The second link's second counts as a second of the first link's rate.
    EXPECT_EQ(reader.SampleCount(), 88200);
    reader.Seek(66150, 3);
    EXPECT_NEAR(static_cast<double>(readAll(reader, 4096).size() / 2), 22050.0, 64.0);
    reader.Seek(0, 3);
    const std::vector<float> all = readAll(reader, 8192);
    // The second second arrives resampled to 44100 Hz stereo.
    EXPECT_NEAR(static_cast<double>(all.size() / 2), 88200.0, 64.0);
    std::vector<float> left;
    for (size_t i = 2 * 50000; i + 1 < all.size(); i += 2)
        left.push_back(all[i]);
    EXPECT_NEAR(dominantFrequency(left, 44100), 440.0, 8.0);
}

TEST_F(AudioReaderTest, RefusesWhatCannotBeDecodedNamingTheFile) {
    QFile text(path("notes.ogg"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("This is not audio at all, just some text pretending to be Ogg.\n");
    text.close();

    const QString good = tone("good.ogg", 44100, 2, 1.0);
    QFile source(good);
    ASSERT_TRUE(source.open(QIODevice::ReadOnly));
    const QByteArray bytes = source.readAll();
    QFile cut(path("cut.ogg"));
    ASSERT_TRUE(cut.open(QIODevice::WriteOnly));
    cut.write(bytes.left(120)); // ends inside the headers
    cut.close();

    QFile empty(path("empty.ogg"));
    ASSERT_TRUE(empty.open(QIODevice::WriteOnly));
    empty.close();

    AudioFile2 reader;
    for (const QString& name : {QStringLiteral("notes.ogg"), QStringLiteral("cut.ogg"),
                                QStringLiteral("empty.ogg"), QStringLiteral("missing.ogg")}) {
        try {
            reader.Open(path(name), 0, 1);
            ADD_FAILURE() << "opened " << name.toStdString();
        } catch (const Error& e) {
            EXPECT_TRUE(e.message().contains(name)) << e.message().toStdString();
            EXPECT_FALSE(reader.IsOpen());
        }
    }
    // After a failure, switching off and on leaves a reader that works.
    reader.SetActive(false);
    reader.SetActive(true);
    reader.Open(good, 0, 1);
    EXPECT_EQ(reader.SampleCount(), 44100);
}

TEST_F(AudioReaderTest, FileCutInsideTheAudioKeepsWhatItHolds) {
    const QString good = tone("good.ogg", 44100, 2, 20.0);
    QFile file(good);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    ASSERT_TRUE(file.resize(file.size() / 2));
    file.close();

    AudioFile2 reader;
    reader.Open(good, 0, 1);
    const int count = reader.SampleCount();
    EXPECT_GT(count, 44100 * 5);
    EXPECT_LT(count, 44100 * 15);
    // What it reports is what it delivers.
    EXPECT_EQ(readAll(reader, 10000).size(), static_cast<size_t>(count) * 2);
}

TEST_F(AudioReaderTest, DamagedAudioStillDecodesWhatIsReadable) {
    const QString good = tone("good.ogg", 44100, 2, 3.0);
    QFile file(good);
    ASSERT_TRUE(file.open(QIODevice::ReadWrite));
    QByteArray bytes = file.readAll();
    for (qsizetype i = bytes.size() / 2; i < bytes.size() / 2 + 2000; ++i)
        bytes[i] = static_cast<char>(i * 37);
    file.seek(0);
    file.write(bytes);
    file.close();

    AudioFile2 reader;
    reader.Open(good, 0, 1);
    const std::vector<float> all = readAll(reader, 44100);
    // At least everything before the damage, never more than the file held.
    EXPECT_GE(all.size() / 2, 44100u);
    EXPECT_LE(all.size() / 2, 132300u);
    reader.Seek(0, 3);
    EXPECT_EQ(reader.ReadSamples(1000).frames(), 1000);
}

TEST_F(AudioReaderTest, SwitchedOffRefusesToOpen) {
    AudioFile2 reader;
    reader.SetActive(false);
    EXPECT_THROW(reader.Open(tone("a.ogg", 44100, 2, 0.5), 0, 1), Error);
    reader.SetActive(true);
    EXPECT_NO_THROW(reader.Open(path("a.ogg"), 0, 1));
}

TEST_F(AudioReaderTest, ReadingWithoutAFileThrows) {
    AudioFile2 reader;
    EXPECT_THROW(reader.ReadSamples(10), Error);
    EXPECT_THROW(reader.Seek(0, 3), Error);
}

TEST_F(AudioReaderTest, RefusesFormatsNoRealFileHas) {
    const QString good = tone("good.ogg", 44100, 2, 0.5);
    for (const std::uint32_t rate : {1u, 7999u, 192001u}) {
        OggPages pages(good);
        pages.setFormat(rate, 2);
        pages.write(path("odd.ogg"));
        expectRefused(path("odd.ogg"), QStringLiteral("not supported"));
    }
    expectRefused(tone("nine.ogg", 44100, 9, 0.5), QStringLiteral("not supported"));

    // The limits themselves are real formats.
    for (const std::uint32_t rate : {8000u, 192000u}) {
        OggPages pages(good);
        pages.setFormat(rate, 2);
        pages.write(path("edge.ogg"));
        AudioFile2 reader;
        reader.Open(path("edge.ogg"), 0, 1);
        EXPECT_EQ(reader.SampleRate(), static_cast<int>(rate));
        EXPECT_EQ(reader.SampleCount(), 22050);
    }
}

// Muxers write positions that disagree with the packets: some run ahead of
// the audio on every page but the last, some start below zero. Decoders
// play the packets all the same, so the reader takes the length libvorbis
// decodes, and only the first and the last page's positions trim anything.
TEST_F(AudioReaderTest, PositionsThatDisagreeWithThePacketsReadAsTheDecoderPlaysThem) {
    const QString good = OggFixture::NoiseAndSweep(6.0).write(path("good.ogg"));
    const OggPages pages(good);
    const int first = pages.firstAudioPage();
    const int last = static_cast<int>(pages.pages.size()) - 1;
    AudioFile2 original;
    original.Open(good, 0, 1);
    const std::vector<float> expected = readAll(original, 4096);
    ASSERT_EQ(expected.size(), 264600u * 2);

    const auto shifted = [&](int from, int to, std::int64_t by) {
        OggPages changed = pages;
        for (int i = from; i <= to; ++i) {
            QByteArray& page = changed.pages[static_cast<size_t>(i)];
            if (OggPages::granule(page) != -1)
                OggPages::setGranule(page, OggPages::granule(page) + by);
        }
        changed.write(path("changed.ogg"));
        return path("changed.ogg");
    };
    // Running ahead everywhere but at the end, as a transcode by one muxer
    // writes it; a page in the middle far ahead or a little behind; the
    // start trimmed by 100 frames, which libvorbis takes off the first
    // page's last packet.
    const std::tuple<int, int, std::int64_t> cases[] = {
        {first, last - 1, 448},
        {first + 3, first + 3, std::int64_t(1) << 40},
        {first + 3, first + 3, -1},
        {first, last, -100}};
    for (const auto& [from, to, by] : cases) {
        SCOPED_TRACE(testing::Message() << "pages " << from << "-" << to << " by " << by);
        AudioFile2 reader;
        reader.Open(shifted(from, to, by), 0, 1);
        // libvorbis trims the first positioned page by what it claims too
        // little, and the final page by what the page before it claimed too
        // much, at most the last packet either way (oggdec decodes the same).
        const size_t trimmed = by < 0 && from == first ? static_cast<size_t>(-by) : 0;
        const int endTrim = to == last - 1 ? static_cast<int>(by) : 0;
        EXPECT_LE(reader.SampleCount(), static_cast<int>(264600 - trimmed));
        EXPECT_GE(reader.SampleCount(), static_cast<int>(264600 - trimmed) - endTrim);
        const std::vector<float> all = readAll(reader, 4096);
        ASSERT_EQ(all.size(), static_cast<size_t>(reader.SampleCount()) * 2);
        // Past the first page, the audio is the original's, moved by the trim.
        EXPECT_LT(maxDifference(all,
                                std::vector<float>(expected.begin() + trimmed * 2,
                                                   expected.begin() + trimmed * 2 + all.size()),
                                trimmed > 0 ? 120000 : 0, all.size()),
                  1e-6f);
        for (const int frame : {0, 30000, 150000, 264000 - static_cast<int>(trimmed)}) {
            reader.Seek(frame, 3);
            const SampleArray block = reader.ReadSamples(500);
            ASSERT_EQ(block.frames(), 500);
            EXPECT_LT(maxDifference(block.samples,
                                    std::vector<float>(all.begin() + frame * 2,
                                                       all.begin() + frame * 2 + 1000),
                                    0, 1000),
                      1e-6f)
                << "at " << frame;
        }
    }
    // A last page claiming 24.8 days ends nothing early: every packet plays.
    AudioFile2 reader;
    reader.Open(shifted(last, last, 44100LL * 2147483), 0, 1);
    EXPECT_GE(reader.SampleCount(), 264600);
    EXPECT_LT(reader.SampleCount(), 264600 + 1024);
    EXPECT_EQ(readAll(reader, 4096).size(), static_cast<size_t>(reader.SampleCount()) * 2);
}

TEST_F(AudioReaderTest, APageCopiedFurtherOnIsRefused) {
    OggPages pages(tone("good.ogg", 44100, 2, 8.0));
    const auto first = static_cast<size_t>(pages.firstAudioPage());
    pages.pages.insert(pages.pages.begin() + static_cast<std::ptrdiff_t>(first + 4),
                       pages.pages[first + 1]);
    pages.write(path("copied.ogg"));
    expectRefused(path("copied.ogg"), QStringLiteral("damaged"));
}

TEST_F(AudioReaderTest, RepeatedPagesAndAStreamNotStartingAtZeroReadAsTheOriginal) {
    // A packet runs across two pages, and the copy of the first sits between
    // the packet's two parts.
    const QString noise = OggFixture::NoiseAndSweep(8.0).write(path("noise.ogg"));
    OggPages pages(noise);
    auto repeated = static_cast<size_t>(pages.firstAudioPage() + 1);
    while (repeated + 2 < pages.pages.size() &&
           !OggPages::startsWithLongPacket(pages.pages[repeated]))
        ++repeated;
    pages.splitFirstPacket(static_cast<int>(repeated));
    const QString good = path("good.ogg");
    pages.write(good);
    for (const size_t copied : {repeated, repeated + 1}) {
        OggPages twice = pages;
        twice.pages.insert(twice.pages.begin() + static_cast<std::ptrdiff_t>(copied + 1),
                           twice.pages[copied]);
        twice.write(path(QStringLiteral("repeated%1.ogg").arg(copied - repeated)));
    }
    // A recording taken from a running stream numbers its frames on from
    // where the stream was.
    OggPages later = pages;
    for (QByteArray& page : later.pages)
        if (OggPages::granule(page) > 0)
            OggPages::setGranule(page, OggPages::granule(page) + 1000000000);
    later.write(path("later.ogg"));

    AudioFile2 original;
    original.Open(good, 0, 1);
    const std::vector<float> expected = readAll(original, 4096);
    const auto around = OggPages::granule(pages.pages[repeated + 1]);
    for (const QString& name : {QStringLiteral("repeated0.ogg"), QStringLiteral("repeated1.ogg"),
                                QStringLiteral("later.ogg")}) {
        AudioFile2 reader;
        reader.Open(path(name), 0, 1);
        EXPECT_EQ(reader.SampleCount(), 352800);
        const std::vector<float> all = readAll(reader, 4096);
        ASSERT_EQ(all.size(), expected.size()) << name.toStdString();
        EXPECT_LT(maxDifference(all, expected, 0, all.size()), 1e-6f) << name.toStdString();
        for (const std::int64_t frame :
             {around - 5000, around - 1, around, around + 3000, std::int64_t(352000)}) {
            reader.Seek(static_cast<int>(frame), 3);
            const SampleArray block = reader.ReadSamples(500);
            ASSERT_EQ(block.frames(), 500);
            const std::vector<float> want(expected.begin() + frame * 2,
                                          expected.begin() + frame * 2 + 1000);
            EXPECT_LT(maxDifference(block.samples, want, 0, 1000), 1e-6f)
                << name.toStdString() << " at " << frame;
        }
    }
}

// As oggdec decodes it: the packets lost with the page are left out, and
// decoding laps on from the last packet before the gap.
TEST_F(AudioReaderTest, ALostPageIsLeftOutAsOggdecLeavesIt) {
    OggPages pages(tone("good.ogg", 44100, 2, 8.0, 1000.0));
    const auto lost = static_cast<size_t>(pages.firstAudioPage() + 2);
    const auto lostFrom = static_cast<long long>(OggPages::granule(pages.pages[lost - 1]));
    pages.pages.erase(pages.pages.begin() + static_cast<std::ptrdiff_t>(lost));
    pages.write(path("lost.ogg"));
    std::vector<float> expected;
    for (const std::int16_t sample : EncoderCorpus::DecodeWithOggdec(path("lost.ogg")))
        expected.push_back(sample / 32768.0f);

    AudioFile2 reader;
    reader.Open(path("lost.ogg"), 0, 1);
    const std::vector<float> all = readAll(reader, 4096);
    ASSERT_EQ(all.size(), expected.size());
    ASSERT_LT(all.size(), 352800u * 2);
    EXPECT_LT(maxDifference(all, expected, 0, all.size()), 2.0f / 32768);
    for (const long long frame : {lostFrom - 3000, lostFrom - 1, lostFrom + 500}) {
        reader.Seek(static_cast<int>(frame), 3);
        const std::vector<float> block = reader.ReadSamples(2000).samples;
        ASSERT_EQ(block.size(), 4000u);
        const std::vector<float> want(all.begin() + frame * 2, all.begin() + frame * 2 + 4000);
        EXPECT_LT(maxDifference(block, want, 0, 4000), 1e-6f) << "at " << frame;
    }
}

// Decoding ahead, the failure reaches the reader's caller from the decoding
// thread with the same message.
TEST_F(AudioReaderTest, ASourceCutShortAfterOpeningFailsAtTheSecondItEnds) {
    for (const bool ahead : {false, true}) {
        SCOPED_TRACE(ahead ? "decoding ahead" : "decoding in step");
        const QString source = tone("cut.ogg", 44100, 2, 10.0);
        AudioFile2 reader;
        reader.Open(source, 0, 1);
        reader.SetReadAhead(ahead);
        QFile file(source);
        ASSERT_TRUE(file.resize(file.size() / 2));
        // From the start the audio stops where the cut is; a seek past it
        // finds nothing at the second sought.
        for (const auto& [start, from, to] : {std::tuple{0, 3, 6}, std::tuple{8, 8, 8}}) {
            try {
                reader.Seek(start * 44100, 3);
                readAll(reader, 44100);
                ADD_FAILURE() << "no error from second " << start;
            } catch (const Error& e) {
                const QRegularExpressionMatch second =
                    QRegularExpression(QStringLiteral("second (\\d+)")).match(e.message());
                EXPECT_TRUE(e.message().contains(QStringLiteral("cut.ogg")))
                    << e.message().toStdString();
                ASSERT_TRUE(second.hasMatch()) << e.message().toStdString();
                EXPECT_GE(second.captured(1).toInt(), from);
                EXPECT_LE(second.captured(1).toInt(), to);
            }
        }
    }
}

} // namespace
