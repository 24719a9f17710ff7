// Saved encoder settings, through ConfigureEncoder and the real writer, into
// files that FFmpeg (and for the Vorbis header, libvorbisfile) read back.
#include "engine/ConfigureEncoder.h"
#include "engine/audio/AudioFile2.h"
#include "engine/audio/AudioFile2LameEnc.h"
#include "platform/SettingsFile.h"
#include "tests/engine/Mp3Stream.h"
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

// The stereo tone with a sharp click in the left channel every quarter
// second, the kind of attack that makes an encoder switch to short blocks.
SampleArray toneWithLeftClicks() {
    SampleArray block = tone(2);
    for (int start = kRate / 8; start + 64 < static_cast<int>(kRate * kSeconds); start += kRate / 4)
        for (int i = 0; i < 64; ++i)
            block.samples[static_cast<std::size_t>((start + i) * 2)] = (i % 2 ? 0.95f : -0.95f);
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
    QString encode(int format, const QString& name, const QString& commandLine = {},
                   const SampleArray& samples = tone(2)) {
        ConfigureEncoder(format, settings, commandLine, writer, encoder);
        writer.SetSampleFormat(kRate, 2);
        const QString path = dir.filePath(name);
        writer.CreateOutput(path, 0);
        writer.WriteSamples(samples);
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

// Read back from the frames and the LAME tag, not from what was asked for:
// a value LAME never received leaves the stream as it would be without it.
TEST_F(EncoderOutputTest, Mp3ExpertAndFilterSettingsReachTheStream) {
    writeFile("[mp3]\nchannel=4\n[MP3Filt]\nchHFilt=1\nudHFiltF=2000\nchLFilt=1\nudLFiltF=8000\n"
              "[MP3Expert]\ncrc=1\nde=2\nallow=1\n");
    const QString expert = encode(OutputMp3, "expert.mp3", {}, toneWithLeftClicks());
    const Mp3Stream s = Mp3Stream::read(expert);
    EXPECT_TRUE(s.crc);
    EXPECT_EQ(s.emphasis, 3);
    EXPECT_EQ(s.mode, Mp3Stream::DualChannel);
    EXPECT_TRUE(s.hasLameTag);
    EXPECT_EQ(s.lowpassHz, 8000);
    EXPECT_GT(s.shortBlockGranules, 0);
    EXPECT_GT(s.differingBlockGranules, 0) << "the clicks are in one channel only";
    // The high-pass at 2 kHz takes the 440 Hz tone out of the click-free channel.
    const DecodedAudio filtered = decodeWithFfmpeg(expert);
    EXPECT_EQ(filtered.channels, 2);
    const std::vector<float> right = filtered.channel(1);
    EXPECT_LT(rms(right, 0, right.size()), 0.02);

    // Block types coupled (the default), then no short blocks at all; no
    // filters, no CRC, no emphasis and no tag frame.
    writeFile("[mp3]\nchannel=4\n[MP3VBR]\nvbrck=0\n");
    const QString coupled = encode(OutputMp3, "coupled.mp3", {}, toneWithLeftClicks());
    const Mp3Stream c = Mp3Stream::read(coupled);
    EXPECT_FALSE(c.crc);
    EXPECT_EQ(c.emphasis, 0);
    EXPECT_FALSE(c.hasLameTag);
    EXPECT_GT(c.shortBlockGranules, 0);
    EXPECT_EQ(c.differingBlockGranules, 0);
    const std::vector<float> tone = decodeWithFfmpeg(coupled).channel(1);
    EXPECT_GT(rms(tone, 0, tone.size()), 0.3);

    writeFile("[mp3]\nchannel=4\n[MP3Expert]\nshort=0\nallow=1\nde=1\n");
    const Mp3Stream n = Mp3Stream::read(encode(OutputMp3, "long.mp3", {}, toneWithLeftClicks()));
    EXPECT_EQ(n.shortBlockGranules, 0);
    EXPECT_EQ(n.emphasis, 1);
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
