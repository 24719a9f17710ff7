// The MP3 settings object: LAME switches, presets, and how a new set-up
// replaces the last one.
#include "engine/audio/AudioFile2.h"
#include "engine/audio/AudioFile2LameEnc.h"
#include "platform/Error.h"
#include "tests/audio/ToneFiles.h"
#include "tests/support/FfmpegDecoder.h"

#include <gtest/gtest.h>
#include <lame/lame.h>

#include <memory>

namespace {

class LameEncoderTest : public ::testing::Test {
protected:
    DecodedAudio encode(AudioFile2LameEnc& encoder, const QString& name) {
        if (source.isEmpty())
            source = files.tone("src.ogg", 44100, 2, 1.0, 440.0);
        AudioFile2 writer;
        writer.SetMp3Encoder(&encoder);
        ToneFiles::convert(source, writer, files.path(name));
        return decodeWithFfmpeg(files.path(name));
    }

    ToneFiles files;
    QString source;
};

QString errorOf(AudioFile2LameEnc& encoder, const QString& commandLine) {
    try {
        encoder.SetCommandLine(commandLine);
    } catch (const Error& e) {
        return e.message();
    }
    return {};
}

TEST_F(LameEncoderTest, BadSwitchesAreRefusedByName) {
    AudioFile2LameEnc encoder;
    EXPECT_TRUE(errorOf(encoder, QStringLiteral("-b 192 --bogus")).contains("\"--bogus\""));
    EXPECT_TRUE(errorOf(encoder, QStringLiteral("-X")).contains("\"-X\""));
    EXPECT_TRUE(errorOf(encoder, QStringLiteral("-q")).contains("\"-q\""));
    EXPECT_TRUE(errorOf(encoder, QStringLiteral("-q 12")).contains("12"));
    EXPECT_TRUE(errorOf(encoder, QStringLiteral("-m x")).contains("\"-m\""));
    EXPECT_TRUE(errorOf(encoder, QStringLiteral("--preset nonsense")).contains("nonsense"));
    EXPECT_TRUE(errorOf(encoder, QStringLiteral("song.wav")).contains("song.wav"));
    // A refused line changes nothing.
    EXPECT_TRUE(encoder.Settings().commandLine.empty());

    for (const char* good :
         {"-b 192", "-b320 -B 320", "-V2 --vbr-new", "-V 4.5 --vbr-old", "-q 0 -h -f -p", "-m j",
          "-mm", "--abr 160", "--preset standard", "--preset fast extreme", "--preset 128",
          "--preset cd", "--resample 22.05", "--lowpass 15.5 --highpass 0.1",
          "--strictly-enforce-ISO -F -t --nores", "  -b   96  "}) {
        EXPECT_TRUE(errorOf(encoder, QString::fromLatin1(good)).isEmpty()) << good;
    }
}

TEST_F(LameEncoderTest, CommandLineShapesTheOutput) {
    AudioFile2LameEnc encoder;
    encoder.SetCommandLine(QStringLiteral("-b 64 -m m --resample 22.05"));
    const DecodedAudio out = encode(encoder, "cl.mp3");
    EXPECT_EQ(out.channels, 1);
    EXPECT_EQ(out.rate, 22050);
    EXPECT_NEAR(static_cast<double>(out.bitRate), 64000.0, 6000.0);
    EXPECT_NEAR(dominantFrequency(out.samples, 22050), 440.0, 5.0);
}

TEST_F(LameEncoderTest, PresetsStandForWholeConfigurations) {
    AudioFile2LameEnc encoder;
    encoder.SetPreset(1); // "Phone": low-bitrate mono
    const DecodedAudio phone = encode(encoder, "phone.mp3");
    EXPECT_EQ(phone.channels, 1);
    EXPECT_LT(phone.bitRate, 32000);

    encoder.SetPreset(0);
    encoder.SetAltPreset(5); // "Insane": 320 kbps stereo
    const DecodedAudio insane = encode(encoder, "insane.mp3");
    EXPECT_EQ(insane.channels, 2);
    EXPECT_GT(insane.bitRate, 250000);
}

TEST_F(LameEncoderTest, ANewSetUpForgetsTheLastPresetAndCommandLine) {
    AudioFile2LameEnc encoder;
    encoder.SetPreset(3);
    encoder.SetCommandLine(QStringLiteral("-m m"));
    EXPECT_EQ(encode(encoder, "first.mp3").channels, 1);

    // The next set-up sends individual values and no command line.
    encoder.SetWriteVbrHeader(true);
    encoder.SetChannels(2);
    encoder.SetChannelMode(1);
    encoder.SetBitrate(128);
    const DecodedAudio second = encode(encoder, "second.mp3");
    EXPECT_EQ(second.channels, 2);
    EXPECT_NEAR(static_cast<double>(second.bitRate), 128000.0, 8000.0);
    EXPECT_EQ(encoder.Settings().preset, 0);
    EXPECT_TRUE(encoder.Settings().commandLine.empty());

    // Without any new call the same set-up serves the next output too.
    EXPECT_EQ(encode(encoder, "third.mp3").channels, 2);
}

// The full set of values in the order the encoder configuration sends them.
void sendValues(AudioFile2LameEnc& e, int vbrMethod, bool filters, int channelMode, int rate) {
    e.SetWriteVbrHeader(true);
    e.SetEnforceMinBitrate(vbrMethod >= 0);
    e.SetCrc(filters);
    e.SetAllowDiffBlockTypes(filters);
    e.SetBitReservoir(true);
    e.SetShortBlocks(true);
    e.SetStrictIso(filters);
    e.SetHighpassFrequency(filters ? 30 : -1);
    e.SetLowpassFrequency(filters ? 15160 : -1);
    e.SetVbrMethod(vbrMethod);
    e.SetAthMode(filters ? 3 : 0);
    if (channelMode == 0) {
        e.SetChannels(1);
    } else {
        e.SetChannels(2);
        e.SetChannelMode(channelMode);
    }
    e.SetDeEmphasis(filters ? 2 : 0);
    e.SetQuality(5);
    e.SetBitrate(128);
    e.SetVbrBitrate(192);
    e.SetHighpassWidth(5);
    e.SetLowpassWidth(750);
    e.SetVbrQuality(5);
    e.SetOutputSampleRate(rate);
}

TEST_F(LameEncoderTest, EveryChannelModeAndVbrMethodEncodes) {
    AudioFile2LameEnc encoder;
    int n = 0;
    for (int mode = 0; mode <= 4; ++mode) {
        for (int method = -1; method <= 3; ++method) {
            sendValues(encoder, method, (mode + method) % 2 == 0, mode, mode == 2 ? 32000 : 44100);
            const DecodedAudio out = encode(encoder, QStringLiteral("m%1.mp3").arg(n++));
            EXPECT_EQ(out.channels, mode == 0 ? 1 : 2) << mode << " " << method;
            EXPECT_EQ(out.rate, mode == 2 ? 32000 : 44100) << mode << " " << method;
            EXPECT_NEAR(dominantFrequency(out.channel(0), out.rate), 440.0, 5.0);
        }
    }
}

TEST_F(LameEncoderTest, DefaultsArePlain128kbpsCbr) {
    const AudioFile2LameEnc encoder;
    const LameSettings& s = encoder.Settings();
    EXPECT_EQ(s.bitrate, 128);
    EXPECT_EQ(s.quality, 5);
    EXPECT_EQ(s.vbrMethod, -1);
    EXPECT_EQ(s.preset, 0);
    EXPECT_EQ(s.altPreset, 0);
    EXPECT_EQ(s.outputRate, 0);
}

// Left off, strict ISO leaves LAME the frame limit its command line and
// FFmpeg's encoder use, instead of a smaller one.
TEST_F(LameEncoderTest, StrictIsoOffKeepsLamesOwnFrameLimit) {
    const std::unique_ptr<lame_global_flags, int (*)(lame_global_flags*)> plain(lame_init(),
                                                                                lame_close);
    for (const bool strict : {false, true}) {
        const std::unique_ptr<lame_global_flags, int (*)(lame_global_flags*)> lame(lame_init(),
                                                                                   lame_close);
        LameSettings settings;
        settings.strictIso = strict;
        settings.applyTo(lame.get(), 2);
        EXPECT_EQ(lame_get_strict_ISO(lame.get()), strict ? 1 : lame_get_strict_ISO(plain.get()));
    }
}

} // namespace
