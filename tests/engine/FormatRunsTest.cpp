// Runs on sources of every input format, outputs decoded with FFmpeg.
#include "engine/ConfigureEncoder.h"
#include "engine/EncoderKey.h"
#include "engine/PieceWorkers.h"
#include "engine/SilenceFinder.h"
#include "engine/SplitRun.h"
#include "engine/audio/PeakScanner.h"
#include "tests/engine/RunFixture.h"
#include "tests/support/CorpusFiles.h"
#include "tests/support/FormatCorpus.h"

#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace {

// WAV and OGG pieces keep the source's rate and channels, as no setting of
// the dialog asks, so they can be compared with the source frame by frame.
class SourceFormatRuns : public RunFixture, public ::testing::WithParamInterface<const char*> {
protected:
    DecodedAudio addSynthesized(const QString& name, const QString& graph, int channels) {
        lv.clear();
        FormatCorpus::Synthesize(graph, {}, srcDir + name);
        addSource(srcDir + name);
        const DecodedAudio audio = decodeWithFfmpeg(srcDir + name);
        settings.WriteInteger(QStringLiteral("wav"), QStringLiteral("mode"), 3);
        writer.SetWavFormat(audio.rate, channels, 16);
        EncoderKeys::OggChannel.write(settings, channels - 1);
        return audio;
    }
    void split(int format) {
        setFormat(format);
        SplitRun(context).Run(PiecePlan::Mode::Time);
    }
};

TEST_P(SourceFormatRuns, SplitJoinFadeAndSilence) {
    // 8 s of tone with 2 s of silence from second 3; pieces of 3 s.
    const DecodedAudio source = addSynthesized(
        QStringLiteral("talk.") + GetParam(),
        "aevalsrc='if(between(t,3,5),0,0.5*sin(2*PI*440*t))':s=48000:d=8:c=stereo", 2);
    state.FunctionChoice = FunctionSplitByTime;
    state.SplitSeconds = 3;
    const long long rate = source.rate;
    const bool lossless = QStringList{"flac", "wav", "aiff"}.contains(GetParam());
    for (const int format : {0, 1, 3}) // MP3, WAV, OGG
        split(format);
    EXPECT_EQ(outputs().size(), 9);
    for (long long k = 0; k < 3; ++k) {
        const DecodedAudio wav = decode(QStringLiteral("talk_%1.wav").arg(k + 1));
        const long long length = std::min(3 * rate, source.frames() - 3 * rate * k);
        ASSERT_EQ(wav.frames(), length) << k;
        float worst = 0;
        for (std::size_t i = 0; i < wav.samples.size(); ++i)
            worst = std::max(worst, std::fabs(wav.samples[i] - source.samples[6 * rate * k + i]));
        EXPECT_LE(worst, lossless ? 2.0f / 32768 : 1e-3f) << k;
        EXPECT_NEAR(decode(QStringLiteral("talk_%1.mp3").arg(k + 1)).seconds(),
                    double(length) / rate, 0.03);
    }
    EXPECT_EQ(lvTime.note(0), "re-encoded (the source is not Ogg Vorbis)");
    const DecodedAudio ogg = decode("talk_1.ogg");
    EXPECT_EQ(ogg.frames(), 3 * ogg.rate);

    // Joined to itself, faded out over the last second.
    state.FadeOut = true;
    state.FadeOutSeconds = 1;
    addSource(state.JobList[0].FileName);
    desktop.saveAnswers.push_back({out("twice"), 2});
    joinCommand();
    const DecodedAudio twice = decode("twice.wav");
    ASSERT_EQ(twice.frames(), 2 * source.frames());
    EXPECT_NEAR(gainAt(twice, 7.0), 1.0, 0.05);
    EXPECT_NEAR(gainAt(twice, 15.5), 0.5, 0.1);
    EXPECT_LT(gainAt(twice, 15.99), 0.05);

    const auto silences =
        SilenceFinder::Find(PeakScanner::Scan(srcDir + "talk." + GetParam()), {-40.0, 1000});
    ASSERT_EQ(silences.size(), 1u);
    EXPECT_NEAR(silences[0].beginMs, 3000, 30);
    EXPECT_NEAR(silences[0].endMs, 5000, 30);
}

// Mono at 11,025 Hz reads blocks of an odd sample count: one worker and
// several both write every frame of every piece, none twice.
TEST_F(SourceFormatRuns, MonoPiecesOfOddBlocksHoldExactlyTheirFrames) {
    const DecodedAudio source =
        addSynthesized("mono.flac", "aevalsrc='0.5*sin(2*PI*440*t)':s=11025:d=7:c=mono", 1);
    // WAV at 11,025 Hz mono from the settings, which workers read too.
    settings.WriteInteger(QStringLiteral("wav"), QStringLiteral("mode"), 2);
    settings.WriteInteger(QStringLiteral("wav"), QStringLiteral("frequency"), 1);
    settings.WriteInteger(QStringLiteral("wav"), QStringLiteral("channel"), 0);
    state.FunctionChoice = FunctionSplitByTime;
    state.SplitSeconds = 2;
    for (const int workers : {1, 2}) {
        PieceWorkers::SetAllowed(settings, workers);
        split(1);
        for (long long k = 0; k < 4; ++k) {
            const DecodedAudio wav = decode(QStringLiteral("mono_%1.wav").arg(k + 1));
            ASSERT_EQ(wav.frames(), std::min(22050LL, source.frames() - 22050 * k)) << workers;
            for (std::size_t i = 0; i < wav.samples.size(); i += 997)
                ASSERT_NEAR(wav.samples[i], source.samples[22050 * k + i], 2.0f / 32768) << i;
        }
        for (const QString& name : outputs())
            QFile::remove(outDir + name);
    }
}

// Every file of the corpus cut into 2-second FLAC pieces, by one worker and
// by several: the pieces, decoded by FFmpeg one after another, are FFmpeg's
// straight decode of the source, sample for sample (lossy audio to 16 bits).
TEST_F(SourceFormatRuns, CorpusPiecesAreTheStraightDecode) {
    state.FunctionChoice = FunctionSplitByTime;
    state.SplitSeconds = 2;
    for (const int workers : {1, 3}) {
        SCOPED_TRACE(workers);
        PieceWorkers::SetAllowed(settings, workers);
        ForEachCorpusFile(FormatCorpus::Shared().files(), [&](const FormatCorpus::File& file) {
            lv.clear();
            addSource(file.path);
            split(OutputFlac);
            const QString stem = QFileInfo(file.path).completeBaseName();
            std::vector<float> joined;
            for (int n = 1; QFile::exists(out(stem + QStringLiteral("_%1.flac").arg(n))); ++n) {
                const DecodedAudio piece = decode(stem + QStringLiteral("_%1.flac").arg(n));
                ASSERT_EQ(piece.channels, file.reference.channels);
                ASSERT_EQ(piece.rate, file.reference.rate);
                joined.insert(joined.end(), piece.samples.begin(), piece.samples.end());
            }
            ASSERT_EQ(joined.size(), file.reference.samples.size());
            // Lossless pieces keep the source's depth (24 bits at most).
            const float tolerance = file.lossless ? 1.0f / (1 << 23) : 1.0f / 32768;
            float worst = 0;
            for (std::size_t i = 0; i < joined.size(); ++i)
                worst = std::max(worst, std::fabs(joined[i] - std::clamp(file.reference.samples[i],
                                                                         -1.0f, 32767.0f / 32768)));
            EXPECT_LE(worst, tolerance);
            for (const QString& name : outputs())
                QFile::remove(outDir + name);
        });
    }
}

// A 32-bit float WAV may hold what no encoder takes: NaN, infinities, values
// far beyond full scale (LAME asserts on them). Every encoder gets them
// clipped, the pieces decode to finite audio within full scale, and the run
// says once for the file how many there were.
TEST_F(SourceFormatRuns, FaultyFloatSamplesReachNoEncoderAndAreToldOncePerFile) {
    constexpr int rate = 44100;
    std::vector<float> samples(static_cast<size_t>(4 * rate * 2));
    for (size_t i = 0; i < samples.size(); ++i)
        samples[i] = 0.5f * static_cast<float>(std::sin(2 * M_PI * 440 * double(i / 2) / rate));
    const float faults[] = {NAN, INFINITY, -INFINITY, 3e38f, -3e38f};
    constexpr int faultCount = 15; // spread over both pieces
    for (int k = 0; k < faultCount; ++k)
        samples[static_cast<size_t>(k) * 20011] = faults[k % 5];
    // Overs a lossy decoder could give: clipped, but no fault of the source.
    samples[7] = 1.5f;
    samples[300001] = -1.2f;
    QByteArray wav("RIFF....WAVEfmt ");
    const auto put = [&wav](std::uint32_t value, int bytes) {
        for (int b = 0; b < bytes; ++b)
            wav.append(static_cast<char>((value >> (8 * b)) & 0xFF));
    };
    put(16, 4), put(3, 2), put(2, 2), put(rate, 4), put(rate * 8, 4), put(8, 2), put(32, 2);
    wav.append("data");
    put(static_cast<std::uint32_t>(samples.size() * 4), 4);
    wav.append(reinterpret_cast<const char*>(samples.data()),
               static_cast<qsizetype>(samples.size() * 4));
    qToLittleEndian<std::uint32_t>(static_cast<std::uint32_t>(wav.size() - 8), wav.data() + 4);
    const QString path = srcDir + QStringLiteral("float.wav");
    {
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(wav), wav.size());
    }
    addSource(path);
    state.FunctionChoice = FunctionSplitByTime;
    state.SplitSeconds = 2;
    for (const int format : {0, 1, 2, 3, int{OutputFlac}, int{OutputOpus}}) {
        SCOPED_TRACE(format);
        desktop.informations.clear();
        split(format);
        const QStringList told = desktop.informations.filter(QStringLiteral("float.wav"));
        ASSERT_EQ(told.size(), 1) << desktop.informations.join('\n').toStdString();
        EXPECT_TRUE(told.front().contains(QStringLiteral(" %1 samples").arg(faultCount)))
            << told.front().toStdString();
        const QStringList pieces = outputs();
        ASSERT_EQ(pieces.size(), 2) << pieces.join(' ').toStdString();
        for (const QString& name : pieces) {
            const DecodedAudio piece = decode(name);
            EXPECT_NEAR(piece.seconds(), 2.0, 0.05) << name.toStdString();
            // Lossy decoders may overshoot full scale a little.
            const float limit = format == 1 || format == OutputFlac ? 1.0f : 1.5f;
            EXPECT_TRUE(std::all_of(piece.samples.begin(), piece.samples.end(), [&](float v) {
                return std::fabs(v) <= limit;
            })) << name.toStdString();
            QFile::remove(out(name));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, SourceFormatRuns,
                         ::testing::Values("mp3", "flac", "opus", "wav", "aiff", "m4a"));

// A tone of its own on every speaker of a surround source, 3.0 to 7.1: in
// the pieces of every format that keeps the channels, FFmpeg reads the
// source's layout and finds each tone on the channel it names for that
// speaker. (MP3 and WMA pieces are stereo, mixed down, and so are those of
// formats that cannot hold a layout.)
class SurroundRuns : public SourceFormatRuns {};

TEST_P(SurroundRuns, EveryOutputKeepsEachSpeakerOnItsChannel) {
    const std::map<QString, double> tones{{"FL", 300},  {"FR", 500},  {"FC", 700},
                                          {"LFE", 150}, {"BL", 1100}, {"BR", 1300},
                                          {"BC", 900},  {"SL", 1700}, {"SR", 1900}};
    const QMap<QString, QString> standIns{{"SL", "BL"}, {"SR", "BR"}, {"BL", "SL"}, {"BR", "SR"}};
    struct Layout {
        const char* name;
        QStringList speakers; // in FFmpeg's order, which is WAV's and FLAC's
    };
    const Layout layouts[] = {
        {"3.0", {"FL", "FR", "FC"}},
        {"quad", {"FL", "FR", "BL", "BR"}},
        {"5.0", {"FL", "FR", "FC", "BL", "BR"}},
        {"5.1", {"FL", "FR", "FC", "LFE", "BL", "BR"}},
        {"6.1", {"FL", "FR", "FC", "LFE", "BC", "SL", "SR"}},
        {"7.1", {"FL", "FR", "FC", "LFE", "BL", "BR", "SL", "SR"}},
    };
    std::vector<std::pair<int, std::string>> formats;
    for (int index = 0; index < OutputFormats::Count(); ++index)
        if (OutputFormats::At(index).channelOrder(6).size() == 6)
            formats.emplace_back(index, OutputFormats::At(index).extension().mid(1).toStdString());
    for (const Layout& layout : layouts) {
        const auto channels = static_cast<int>(layout.speakers.size());
        const QString name = QStringLiteral("surround%1").arg(channels);
        QStringList waves;
        for (const QString& speaker : layout.speakers)
            waves << QStringLiteral("0.4*sin(2*PI*%1*t)").arg(tones.at(speaker));
        addSynthesized(name + '.' + GetParam(),
                       "aevalsrc=" + waves.join('|') + ":s=48000:d=2:c=" + layout.name, channels);
        state.FunctionChoice = FunctionSplitByCount;
        state.SplitCount = 1;
        // Vorbis refuses a bitrate too low for each of many channels.
        EncoderKeys::OggQualityMode.write(settings, 1);
        for (const auto& [format, extension] : formats) {
            SCOPED_TRACE(std::string(layout.name) + " to " + extension);
            split(format);
            const DecodedAudio piece = decode(name + "_1." + QString::fromStdString(extension));
            if (OutputFormats::At(format).channelOrder(channels).size() == 2) {
                EXPECT_EQ(piece.channels, 2);
                continue;
            }
            ASSERT_EQ(piece.channels, channels);
            // FFmpeg calls the surround pair of FLAC's 5.0 and 5.1 (which
            // FLAC leaves "back or surround") side speakers, where WAV's and
            // Vorbis' are back ones: the same pair.
            QStringList speakers = piece.speakers;
            for (QString& speaker : speakers)
                if (format == OutputFlac && !layout.speakers.contains(speaker))
                    speaker = standIns.value(speaker, speaker);
            EXPECT_EQ(speakers.join(' ').toStdString(), layout.speakers.join(' ').toStdString());
            for (int c = 0; c < piece.channels; ++c) {
                const QString speaker = speakers.value(c);
                const auto tone = tones.find(speaker);
                ASSERT_NE(tone, tones.end()) << "channel " << c << " is " << speaker.toStdString();
                EXPECT_NEAR(dominantFrequency(piece.channel(c), piece.rate), tone->second, 10)
                    << speaker.toStdString();
            }
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Inputs, SurroundRuns, ::testing::Values("flac", "wav"));

} // namespace
