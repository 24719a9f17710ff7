// Saved encoder settings, through ConfigureEncoder and the real writer, into
// files that FFmpeg (and for the Vorbis header, libvorbisfile) read back.
#include "engine/ConfigureEncoder.h"
#include "engine/audio/AudioFile2.h"
#include "engine/audio/AudioFile2LameEnc.h"
#include "settings/SettingsFile.h"
#include "tests/support/FfmpegDecoder.h"

#include <QFile>
#include <QTemporaryDir>

#include <vorbis/vorbisfile.h>

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace {

constexpr int kRate = 44100;
constexpr double kSeconds = 2.0;

SampleArray tone(int channels) {
    SampleArray block;
    block.channels = channels;
    const int frames = static_cast<int>(kRate * kSeconds);
    block.samples.reserve(static_cast<std::size_t>(frames * channels));
    for (int i = 0; i < frames; ++i) {
        const float v =
            0.5f * static_cast<float>(std::sin(2.0 * std::numbers::pi * 440.0 * i / kRate));
        for (int c = 0; c < channels; ++c)
            block.samples.push_back(v);
    }
    return block;
}

// The nominal bitrate in the Vorbis identification header.
long vorbisNominalBitrate(const QString& path) {
    OggVorbis_File vf;
    if (ov_fopen(path.toUtf8().constData(), &vf) != 0)
        return -1;
    const long nominal = ov_info(&vf, -1)->bitrate_nominal;
    ov_clear(&vf);
    return nominal;
}

class EncoderOutputTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    SettingsFile settings{dir.filePath(QStringLiteral("Velmora.ini"))};
    AudioFile2 writer;
    AudioFile2LameEnc encoder;

    void writeFile(const QByteArray& text) {
        QFile f(settings.path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    // Encodes two seconds of a 440 Hz stereo tone the way a run does.
    QString encode(int format, const QString& name, const QString& commandLine = {}) {
        ConfigureEncoder(format, settings, commandLine, writer, encoder);
        writer.SetSampleFormat(kRate, 2);
        const QString path = dir.filePath(name);
        writer.CreateOutput(path, 0);
        writer.WriteSamples(tone(2));
        writer.Close();
        return path;
    }
    static void expectTone(const DecodedAudio& a) {
        EXPECT_NEAR(a.seconds(), kSeconds, 0.15);
        EXPECT_NEAR(dominantFrequency(a.channel(0), a.rate), 440.0, 10.0);
    }
};

TEST_F(EncoderOutputTest, OggAt64KbpsCarriesThatNominalBitrate) {
    writeFile("[ogg]\nbitrate=5\n");
    const QString path = encode(OutputOgg, "piece.ogg");
    const DecodedAudio a = decodeWithFfmpeg(path);
    EXPECT_EQ(a.codec, "vorbis");
    EXPECT_EQ(a.rate, 44100);
    EXPECT_EQ(a.channels, 2);
    expectTone(a);
    EXPECT_EQ(vorbisNominalBitrate(path), 64000);
}

TEST_F(EncoderOutputTest, CustomWavOf22050HzMono8Bits) {
    writeFile("[wav]\nmode=2\nfrequency=4\nchannel=0\nbit=0\n");
    const DecodedAudio a = decodeWithFfmpeg(encode(OutputWav, "piece.wav"));
    EXPECT_EQ(a.container, "wav");
    EXPECT_EQ(a.codec, "pcm_u8");
    EXPECT_EQ(a.rate, 22050);
    EXPECT_EQ(a.channels, 1);
    EXPECT_EQ(a.bitsPerSample, 8);
    expectTone(a);
}

TEST_F(EncoderOutputTest, Mp3At48000HzMono) {
    writeFile("[mp3]\nfrequency=8\nchannel=0\n");
    const DecodedAudio a = decodeWithFfmpeg(encode(OutputMp3, "piece.mp3"));
    EXPECT_EQ(a.container, "mp3");
    EXPECT_TRUE(a.codec.startsWith("mp3")) << a.codec.toStdString();
    EXPECT_EQ(a.rate, 48000);
    EXPECT_EQ(a.channels, 1);
    EXPECT_NEAR(static_cast<double>(a.bitRate), 128000.0, 8000.0);
    expectTone(a);
}

TEST_F(EncoderOutputTest, Mp3CommandLineOverridesTheSavedBitrate) {
    const DecodedAudio a = decodeWithFfmpeg(encode(OutputMp3, "piece.mp3", "-b 64"));
    EXPECT_NEAR(static_cast<double>(a.bitRate), 64000.0, 4000.0);
    EXPECT_EQ(a.channels, 2);
    expectTone(a);
}

TEST_F(EncoderOutputTest, WmaProfileFollowsTheSavedListPosition) {
    writeFile("[wma]\nformat=4\n"); // "WMA9 48KHz, 64Kbps, Stereo, CBR"
    const DecodedAudio a = decodeWithFfmpeg(encode(OutputWma, "piece.wma"));
    EXPECT_EQ(a.codec, "wmav2");
    EXPECT_EQ(a.rate, 48000);
    EXPECT_EQ(a.channels, 2);
    expectTone(a);
}

} // namespace
