#include "engine/ConfigureEncoder.h"
#include "engine/EncoderTables.h"
#include "platform/SettingsFile.h"
#include "tests/engine/RecordingComponents.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class ConfigureEncoderTest : public ::testing::Test {
protected:
    QTemporaryDir dir;
    SettingsFile settings{dir.filePath(QStringLiteral("Velmora.ini"))};
    RecordingComponents rec;

    void writeFile(const QByteArray& text) {
        QFile f(settings.path());
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(text);
    }
    QStringList configure(int format, const QString& commandLine = {}) {
        rec.calls.clear();
        ConfigureEncoder(format, settings, commandLine, rec, rec);
        return rec.calls;
    }
};

const QStringList kDefaultFullMp3{"SetWriteVbrHeader(-1)",
                                  "SetEnforceMinBitrate(0)",
                                  "SetCrc(0)",
                                  "SetAllowDiffBlockTypes(0)",
                                  "SetBitReservoir(-1)",
                                  "SetShortBlocks(-1)",
                                  "SetStrictIso(0)",
                                  "SetHighpassFrequency(-1)",
                                  "SetLowpassFrequency(-1)",
                                  "SetVbrMethod(-1)",
                                  "SetAthMode(0)",
                                  "SetChannels(2)",
                                  "SetChannelMode(1)",
                                  "SetDeEmphasis(0)",
                                  "SetQuality(5)",
                                  "SetBitrate(128)",
                                  "SetVbrBitrate(128)",
                                  "SetHighpassWidth(5)",
                                  "SetLowpassWidth(750)",
                                  "SetVbrQuality(5)",
                                  "SetOutputSampleRate(44100)",
                                  "SetMp3Encoder"};

TEST_F(ConfigureEncoderTest, WithoutAnyKeysEveryFormatGetsTheEncoderDefaults) {
    EXPECT_EQ(configure(OutputMp3), kDefaultFullMp3);
    EXPECT_EQ(rec.encoder, static_cast<IAudioFile2LameEnc*>(&rec));
    EXPECT_EQ(configure(OutputWav), QStringList{"SetWavFormat(44100, 2, 16)"});
    EXPECT_EQ(configure(OutputWma), QStringList{"SetWmaProfile(10)"});
    EXPECT_EQ(configure(OutputOgg), QStringList{"SetOggFormat(44100, 2, 128, 0, 0, -1)"});
    EXPECT_FALSE(QFile::exists(settings.path())) << "configuring writes nothing";
}

TEST_F(ConfigureEncoderTest, DialogDefaultsDoNotLeakIntoTheEncoder) {
    // The dialog shows 4 for a missing quality; an MP3 made before the dialog
    // was ever confirmed still uses 5. A stored value wins over both.
    writeFile("[mp3]\nquality=2\n");
    const QStringList calls = configure(OutputMp3);
    EXPECT_TRUE(calls.contains("SetQuality(2)"));
    EXPECT_TRUE(calls.contains("SetVbrQuality(5)"));
}

TEST_F(ConfigureEncoderTest, SavedMp3ValuesArriveInOrderAsValuesNotPositions) {
    writeFile("[mp3]\nbitrate=14\nchannel=3\nfrequency=0\nquality=9\n"
              "[MP3VBR]\nCoding Method=4\nvbr bitrate=0\nvbr quality=0\nvbrck=0\nsemb=1\n"
              "[MP3Filt]\nchHFilt=1\nchLFilt=1\nudHFiltF=120\nudHFiltW=10\nudLFiltF=16000\n"
              "udLFiltW=900\n"
              "[MP3Expert]\nBit=0\nshort=0\nallow=1\ncomply=1\ncrc=1\nath=3\nde=2\n");
    EXPECT_EQ(configure(OutputMp3), (QStringList{"SetWriteVbrHeader(0)",
                                                 "SetEnforceMinBitrate(-1)",
                                                 "SetCrc(-1)",
                                                 "SetAllowDiffBlockTypes(-1)",
                                                 "SetBitReservoir(0)",
                                                 "SetShortBlocks(0)",
                                                 "SetStrictIso(-1)",
                                                 "SetHighpassFrequency(120)",
                                                 "SetLowpassFrequency(16000)",
                                                 "SetVbrMethod(3)",
                                                 "SetAthMode(3)",
                                                 "SetChannels(2)",
                                                 "SetChannelMode(3)",
                                                 "SetDeEmphasis(2)",
                                                 "SetQuality(9)",
                                                 "SetBitrate(320)",
                                                 "SetVbrBitrate(8)",
                                                 "SetHighpassWidth(10)",
                                                 "SetLowpassWidth(900)",
                                                 "SetVbrQuality(0)",
                                                 "SetOutputSampleRate(8000)",
                                                 "SetMp3Encoder"}));
}

TEST_F(ConfigureEncoderTest, MonoSendsOneChannelAndNoChannelMode) {
    writeFile("[mp3]\nchannel=0\n");
    const QStringList calls = configure(OutputMp3);
    EXPECT_TRUE(calls.contains("SetChannels(1)"));
    EXPECT_FALSE(calls.contains("SetChannels(2)"));
    EXPECT_FALSE(calls.join(' ').contains("SetChannelMode"));
}

TEST_F(ConfigureEncoderTest, PresetsReplaceEveryIndividualSetting) {
    writeFile("[MP3Prest]\npreset=1\nrg_prest=8\nrg_alt=2\n");
    EXPECT_EQ(configure(OutputMp3), (QStringList{"SetPreset(9)", "SetMp3Encoder"}));

    writeFile("[MP3Prest]\nalt=1\nrg_prest=8\nrg_alt=4\n");
    EXPECT_EQ(configure(OutputMp3), (QStringList{"SetAltPreset(5)", "SetMp3Encoder"}));

    writeFile("[MP3Prest]\npreset=1\nalt=1\n[mp3]\nbitrate=3\n");
    EXPECT_EQ(
        configure(OutputMp3, "-b 64"),
        (QStringList{"SetPreset(1)", "SetAltPreset(1)", "SetCommandLine(-b 64)", "SetMp3Encoder"}));
}

TEST_F(ConfigureEncoderTest, CommandLineGoesWholeAfterTheSettingsAndOnlyWhenItHoldsText) {
    EXPECT_EQ(configure(OutputMp3, QString()), kDefaultFullMp3);
    QStringList expected = kDefaultFullMp3;
    expected.insert(expected.size() - 1, "SetCommandLine(-q 2\n--lowpass 15)");
    EXPECT_EQ(configure(OutputMp3, "-q 2\n--lowpass 15"), expected);
    // The other formats never look at it.
    EXPECT_EQ(configure(OutputWma, "-q 2"), QStringList{"SetWmaProfile(10)"});
}

TEST_F(ConfigureEncoderTest, WavModesAndAnOpenWriterIsClosedFirst) {
    writeFile("[wav]\nmode=1\n");
    rec.open = true;
    EXPECT_EQ(configure(OutputWav), (QStringList{"Close()", "SetWavFormat(48000, 2, 32)"}));

    writeFile("[wav]\nmode=2\nfrequency=4\nchannel=0\nbit=0\n");
    EXPECT_EQ(configure(OutputWav), QStringList{"SetWavFormat(22050, 1, 8)"});

    writeFile("[wav]\nmode=2\n");
    EXPECT_EQ(configure(OutputWav), QStringList{"SetWavFormat(44100, 2, 16)"});

    writeFile("[wav]\nmode=3\n");
    EXPECT_EQ(configure(OutputWav), QStringList{}) << "an unknown mode sets nothing";
}

TEST_F(ConfigureEncoderTest, WmaProfileIsThePositionPlusOne) {
    writeFile("[wma]\nformat=0\n");
    EXPECT_EQ(configure(OutputWma), QStringList{"SetWmaProfile(1)"});
    writeFile("[wma]\nformat=46\n");
    EXPECT_EQ(configure(OutputWma), QStringList{"SetWmaProfile(47)"});
}

TEST_F(ConfigureEncoderTest, OggModesAreTestedIndependentlyAndInOrder) {
    writeFile("[ogg]\nchannel=0\nfrequency=8\nbitrate=5\nmin bitrate=2\nmax bitrate=12\n"
              "quality=750\noggquality=1\n");
    EXPECT_EQ(configure(OutputOgg), QStringList{"SetOggFormat(48000, 1, 0, 0, 0, 750)"});

    writeFile("[ogg]\nchannel=0\nfrequency=8\nbitrate=5\nmin bitrate=2\nmax bitrate=12\n"
              "quality=750\noggvbr=1\n");
    EXPECT_EQ(configure(OutputOgg), QStringList{"SetOggFormat(48000, 1, 64, 24, 224, -1)"});

    writeFile("[ogg]\nbitrate=5\nmin bitrate=2\nmax bitrate=12\nquality=750\noggvbr=1\n"
              "oggquality=1\n");
    EXPECT_EQ(configure(OutputOgg), (QStringList{"SetOggFormat(44100, 2, 0, 0, 0, 750)",
                                                 "SetOggFormat(44100, 2, 64, 24, 224, -1)"}));
}

TEST_F(ConfigureEncoderTest, PositionsOutsideTheirTablesReadAsTheDefault) {
    writeFile("[mp3]\nbitrate=15\nfrequency=-1\n[MP3VBR]\nvbr bitrate=99\n"
              "[wav]\nmode=2\nfrequency=9\nbit=2\n[wma]\nformat=47\n"
              "[ogg]\nfrequency=100\nbitrate=-3\n");
    const QStringList mp3 = configure(OutputMp3);
    EXPECT_TRUE(mp3.contains("SetBitrate(128)"));
    EXPECT_TRUE(mp3.contains("SetVbrBitrate(128)"));
    EXPECT_TRUE(mp3.contains("SetOutputSampleRate(44100)"));
    EXPECT_EQ(configure(OutputWav), QStringList{"SetWavFormat(44100, 2, 16)"});
    EXPECT_EQ(configure(OutputWma), QStringList{"SetWmaProfile(10)"});
    EXPECT_EQ(configure(OutputOgg), QStringList{"SetOggFormat(44100, 2, 128, 0, 0, -1)"});
}

TEST_F(ConfigureEncoderTest, EveryCallReadsTheFileAfreshAndUnknownFormatsDoNothing) {
    EXPECT_EQ(configure(OutputWma), QStringList{"SetWmaProfile(10)"});
    settings.WriteInteger("WMA", "FORMAT", 3); // names compare without case
    EXPECT_EQ(configure(OutputWma), QStringList{"SetWmaProfile(4)"});
    EXPECT_TRUE(configure(-1).isEmpty());
    EXPECT_TRUE(configure(4).isEmpty());
}

TEST(EncoderTablesTest, ListsKeepTheirStoredOrderAndExactTexts) {
    EXPECT_EQ(FrequencyTable[7], 44100);
    EXPECT_EQ(BitrateTable[9], 128);
    EXPECT_EQ(EncoderTables::FrequencyTexts().first(), "8000 Hz");
    EXPECT_EQ(EncoderTables::BitrateTexts().last(), "320 Kbps");
    const QStringList& wma = EncoderTables::WmaFormats();
    ASSERT_EQ(wma.size(), EncoderTables::WmaProfileCount);
    EXPECT_EQ(wma[9], "WMA9 44KHz, 128Kbps, Stereo, CBR");
    EXPECT_EQ(wma[20], wma[22]);
    EXPECT_EQ(wma[34], "WMA9 8KHz,  12Kbps, Stereo, CBR");
    EXPECT_EQ(wma[46], "WMA9 44KHz, Stereo, Lossless");
}

} // namespace
