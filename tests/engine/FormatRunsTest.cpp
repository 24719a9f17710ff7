// Splits, joins, fades and silences on sources of every input format, and
// surround channels kept in their places; outputs decoded with FFmpeg.
#include "engine/EncoderKey.h"
#include "engine/SilenceFinder.h"
#include "engine/SplitRun.h"
#include "engine/audio/PeakScanner.h"
#include "tests/engine/RunFixture.h"
#include "tests/support/FormatCorpus.h"

#include <cmath>

namespace {

constexpr int Mp3 = 0;
constexpr int Wav = 1;
constexpr int Ogg = 3;

struct Format {
    const char* extension;
    int rate;
    QStringList codec;
    bool lossless;
};

void PrintTo(const Format& format, std::ostream* os) {
    *os << format.extension;
}

// WAV pieces in the source's rate and channels, which the settings dialog
// never chooses; OGG ones with all the source's channels.
class SourceFormatFixture : public RunFixture {
protected:
    void keepSourceFormat(int rate, int channels) {
        settings.WriteInteger(QStringLiteral("wav"), QStringLiteral("mode"), 3);
        writer.SetWavFormat(rate, channels, 16);
        EncoderKeys::OggChannel.write(settings, channels - 1);
    }
};

class FormatRunsTest : public SourceFormatFixture, public ::testing::WithParamInterface<Format> {
protected:
    void SetUp() override {
        // Tone, 2 s of silence, tone: 8 s.
        const Format& f = GetParam();
        source = srcDir + "talk." + f.extension;
        FormatCorpus::Synthesize(
            QStringLiteral("aevalsrc='if(between(t,3,5),0,0.5*sin(2*PI*440*t))':s=%1:d=8:c=stereo")
                .arg(f.rate),
            f.codec, source);
        reference = decodeWithFfmpeg(source);
        keepSourceFormat(reference.rate, 2);
    }
    // Runs a time split into pieces of 3 s.
    void split(int format) {
        state.JobList.clear();
        state.TagList.clear();
        lv.clear();
        addSource(source);
        state.FunctionChoice = FunctionSplitByTime;
        state.SplitSeconds = 3;
        setFormat(format);
        SplitRun(context).RunTimeSplit();
        ASSERT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join('\n').toStdString();
    }

    QString source;
    DecodedAudio reference;
};

TEST_P(FormatRunsTest, SplitsJoinsFadesAndFindsTheSilence) {
    const Format& f = GetParam();
    const long long total = reference.frames();
    const long long rate = reference.rate;
    const long long bounds[] = {0, 3 * rate, 6 * rate, total};

    split(Wav);
    split(Mp3);
    EXPECT_EQ(outputs(), QStringList({"talk_1.mp3", "talk_1.wav", "talk_2.mp3", "talk_2.wav",
                                      "talk_3.mp3", "talk_3.wav"}));
    for (int k = 0; k < 3; ++k) {
        SCOPED_TRACE(k);
        const long long length = bounds[k + 1] - bounds[k];
        // WAV pieces hold the decoder's frames of their stretch.
        const DecodedAudio wav = decode(QStringLiteral("talk_%1.wav").arg(k + 1));
        ASSERT_EQ(wav.frames(), length);
        float worst = 0;
        for (std::size_t i = 0; i < wav.samples.size(); ++i)
            worst = std::max(
                worst, std::fabs(wav.samples[i] - reference.samples[bounds[k] * 2 + long(i)]));
        EXPECT_LE(worst, f.lossless ? 2.0f / 32768 : 1e-3f);
        const DecodedAudio mp3 = decode(QStringLiteral("talk_%1.mp3").arg(k + 1));
        EXPECT_NEAR(mp3.seconds(), double(length) / rate, 0.03);
    }

    // Non-Vorbis audio cannot be copied into OGG pieces.
    split(Ogg);
    EXPECT_EQ(lvTime.note(0), "re-encoded (the source is not Ogg Vorbis)");
    const DecodedAudio ogg = decode("talk_1.ogg");
    EXPECT_EQ(ogg.frames(), 3 * ogg.rate);

    // The file joined to itself, faded out over its last second.
    state.FadeOut = true;
    state.FadeOutSeconds = 1;
    addSource(source);
    desktop.saveAnswers.push_back({out("twice"), 2});
    joinCommand();
    ASSERT_TRUE(desktop.errors.isEmpty()) << desktop.errors.join('\n').toStdString();
    const DecodedAudio twice = decode("twice.wav");
    ASSERT_EQ(twice.frames(), 2 * total);
    EXPECT_NEAR(gainAt(twice, 7.0), 1.0, 0.05);
    EXPECT_NEAR(gainAt(twice, 15.5), 0.5, 0.1);
    EXPECT_LT(gainAt(twice, 15.99), 0.05);

    const std::vector<Silence> silences =
        SilenceFinder::Find(PeakScanner::Scan(source), {-40.0, 1000});
    ASSERT_EQ(silences.size(), 1u);
    EXPECT_NEAR(silences[0].beginMs, 3000, 30);
    EXPECT_NEAR(silences[0].endMs, 5000, 30);
}

INSTANTIATE_TEST_SUITE_P(
    Inputs, FormatRunsTest,
    ::testing::Values(Format{"mp3", 44100, {"-c:a", "libmp3lame", "-b:a", "160k"}, false},
                      Format{"flac", 44100, {"-c:a", "flac"}, true},
                      Format{"opus", 48000, {"-c:a", "libopus"}, false},
                      Format{"wav", 22050, {"-c:a", "pcm_s24le"}, true},
                      Format{"aiff", 44100, {}, true},
                      Format{"m4a", 48000, {"-c:a", "aac"}, false}),
    [](const ::testing::TestParamInfo<Format>& p) { return std::string(p.param.extension); });

// Each speaker of a 5.1 source its own tone, written as WAV and OGG: FFmpeg
// finds every tone on the speaker it came from.
TEST_F(SourceFormatFixture, SurroundChannelsKeepTheirPlaces) {
    const double tones[] = {300, 500, 700, 150, 1100, 1300}; // FL FR FC LFE BL BR
    QStringList expressions;
    for (const double hz : tones)
        expressions << QStringLiteral("0.4*sin(2*PI*%1*t)").arg(hz);
    for (const QString& extension : {QStringLiteral("flac"), QStringLiteral("wav")}) {
        SCOPED_TRACE(extension.toStdString());
        const QString path = srcDir + "surround." + extension;
        FormatCorpus::Synthesize("aevalsrc=" + expressions.join('|') + ":s=48000:d=2:c=5.1", {},
                                 path);
        state.JobList.clear();
        state.TagList.clear();
        lv.clear();
        addSource(path);
        keepSourceFormat(48000, 6);
        for (const int format : {Wav, Ogg}) {
            setFormat(format);
            SplitRun(context).RunCustomSplit();
            const DecodedAudio piece = decode(format == Wav ? "surround.wav" : "surround.ogg");
            ASSERT_EQ(piece.channels, 6);
            for (int c = 0; c < 6; ++c)
                EXPECT_NEAR(dominantFrequency(piece.channel(c), piece.rate), tones[c], 10)
                    << "channel " << c << (format == Wav ? " of the WAV" : " of the OGG");
            QFile::remove(out(format == Wav ? "surround.wav" : "surround.ogg"));
        }
    }
}

} // namespace
