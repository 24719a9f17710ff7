#include "engine/ConfigureEncoder.h"

#include "engine/EncoderKey.h"
#include "engine/EncoderTables.h"
#include "engine/audio/IAudioFile2.h"
#include "engine/audio/IAudioFile2LameEnc.h"
#include "platform/SettingsFile.h"

#include <algorithm>
#include <array>
#include <initializer_list>

namespace {

using namespace EncoderKeys;
using EncoderTables::valueAt;

template <std::size_t N>
int tableValue(const std::array<int, N>& table, const EncoderKey& key, const SettingsFile& s) {
    return valueAt(table, key.encoderValue(s), key.encoderDefault());
}

void configureMp3(const SettingsFile& s, const QString& commandLine, IAudioFile2& writer,
                  IAudioFile2LameEnc& enc) {
    const bool preset = PresetOn.encoderFlag(s);
    const bool alt = AltPresetOn.encoderFlag(s);
    if (preset || alt) {
        // A preset replaces every individual setting; both kinds may be sent.
        if (preset)
            enc.SetPreset(Preset.encoderValue(s) + 1);
        if (alt)
            enc.SetAltPreset(AltPreset.encoderValue(s) + 1);
    } else {
        enc.SetWriteVbrHeader(VbrHeader.encoderFlag(s));
        enc.SetEnforceMinBitrate(VbrEnforceMin.encoderFlag(s));
        enc.SetCrc(Crc.encoderFlag(s));
        enc.SetAllowDiffBlockTypes(AllowDiffBlocks.encoderFlag(s));
        enc.SetBitReservoir(BitReservoir.encoderFlag(s));
        enc.SetShortBlocks(ShortBlocks.encoderFlag(s));
        enc.SetStrictIso(StrictIso.encoderFlag(s));
        enc.SetHighpassFrequency(HighpassOn.encoderFlag(s) ? HighpassFrequency.encoderValue(s)
                                                           : -1);
        enc.SetLowpassFrequency(LowpassOn.encoderFlag(s) ? LowpassFrequency.encoderValue(s) : -1);
        // Stored 0 is "None", which the encoder knows as -1.
        enc.SetVbrMethod(VbrCodingMethod.encoderValue(s) - 1);
        enc.SetAthMode(AthMode.encoderValue(s));
        const int channel = Mp3Channel.encoderValue(s);
        if (channel == 0) {
            enc.SetChannels(1);
        } else {
            enc.SetChannels(2);
            enc.SetChannelMode(channel);
        }
        enc.SetDeEmphasis(DeEmphasis.encoderValue(s));
        enc.SetQuality(Mp3Quality.encoderValue(s));
        enc.SetBitrate(tableValue(BitrateTable, Mp3Bitrate, s));
        enc.SetVbrBitrate(tableValue(BitrateTable, VbrBitrate, s));
        enc.SetHighpassWidth(HighpassWidth.encoderValue(s));
        enc.SetLowpassWidth(LowpassWidth.encoderValue(s));
        enc.SetVbrQuality(VbrQuality.encoderValue(s));
        enc.SetOutputSampleRate(tableValue(FrequencyTable, Mp3Frequency, s));
    }
    if (!commandLine.isEmpty())
        enc.SetCommandLine(commandLine);
    writer.SetMp3Encoder(&enc);
}

void configureWav(const SettingsFile& s, IAudioFile2& writer) {
    if (writer.IsOpen())
        writer.Close();
    switch (WavMode.encoderValue(s)) {
    case 0:
        writer.SetWavFormat(44100, 2, 16);
        break;
    case 1:
        writer.SetWavFormat(48000, 2, 32);
        break;
    case 2:
        writer.SetWavFormat(tableValue(FrequencyTable, WavFrequency, s),
                            WavChannel.encoderValue(s) + 1, tableValue(WavBitsTable, WavBits, s));
        break;
    default:
        break;
    }
}

void configureWma(const SettingsFile& s, IAudioFile2& writer) {
    int position = WmaFormat.encoderValue(s);
    if (!EncoderTables::inRange(position, EncoderTables::WmaProfileCount))
        position = WmaFormat.encoderDefault();
    writer.SetWmaProfile(position + 1);
}

void configureOgg(const SettingsFile& s, IAudioFile2& writer) {
    const int rate = tableValue(FrequencyTable, OggFrequency, s);
    const int channels = OggChannel.encoderValue(s) + 1;
    const bool vbr = OggVbr.encoderFlag(s);
    const bool quality = OggQualityMode.encoderFlag(s);
    if (!vbr && !quality)
        writer.SetOggFormat(rate, channels, tableValue(BitrateTable, OggBitrate, s), 0, 0, -1);
    // Quality and VBR are separate set-ups; a file that asks for both gets both,
    // the later one winning.
    if (quality)
        writer.SetOggFormat(rate, channels, 0, 0, 0, OggQuality.encoderValue(s));
    if (vbr)
        writer.SetOggFormat(rate, channels, tableValue(BitrateTable, OggBitrate, s),
                            tableValue(BitrateTable, OggMinBitrate, s),
                            tableValue(BitrateTable, OggMaxBitrate, s), -1);
}

void configureFlac(const SettingsFile& s, IAudioFile2& writer) {
    writer.SetFlacFormat(
        FlacLevel.valueWithin(s, EncoderTables::FlacLevels.low, EncoderTables::FlacLevels.high));
}

void configureOpus(const SettingsFile& s, IAudioFile2& writer) {
    using namespace EncoderTables;
    writer.SetOpusFormat(
        OpusBitrate.valueWithin(s, OpusBitrates.low, OpusBitrates.high),
        OpusComplexity.valueWithin(s, OpusComplexities.low, OpusComplexities.high),
        OpusApplication.valueWithin(s, OpusApplications.low, OpusApplications.high));
}

} // namespace

bool CopyOggPieces(const SettingsFile& settings) {
    if (settings.Contains(OggCopy.section(), OggCopy.name()))
        return OggCopy.encoderFlag(settings);
    return OggSettingsAreDefault(settings);
}

bool CopyPieces(const SettingsFile& settings, int formatIndex, const QString& commandLine) {
    // Either default counts: the dialog's Default writes the one, a file
    // without the key reads the other.
    const auto atDefaults = [&](std::initializer_list<EncoderKey> keys) {
        return std::all_of(keys.begin(), keys.end(), [&](const EncoderKey& key) {
            const int value = key.encoderValue(settings);
            return value == key.encoderDefault() || value == key.dialogDefault();
        });
    };
    if (!CopyOggPieces(settings))
        return false;
    switch (formatIndex) {
    case OutputOgg:
        return true;
    case OutputMp3:
        return commandLine.trimmed().isEmpty() &&
               atDefaults({Mp3Bitrate,      Mp3Channel,       Mp3Frequency, Mp3Quality,
                           VbrCodingMethod, VbrBitrate,       VbrQuality,   VbrHeader,
                           VbrEnforceMin,   HighpassOn,       LowpassOn,    HighpassFrequency,
                           HighpassWidth,   LowpassFrequency, LowpassWidth, BitReservoir,
                           ShortBlocks,     AllowDiffBlocks,  StrictIso,    Crc,
                           AthMode,         DeEmphasis,       PresetOn,     AltPresetOn,
                           Preset,          AltPreset});
    case OutputOpus:
        return atDefaults({OpusBitrate, OpusComplexity, OpusApplication});
    default:
        return false;
    }
}

bool OggSettingsAreDefault(const SettingsFile& settings) {
    for (const EncoderKey& key : {OggChannel, OggFrequency, OggBitrate, OggMaxBitrate,
                                  OggMinBitrate, OggQuality, OggVbr, OggQualityMode})
        if (key.encoderValue(settings) != key.encoderDefault())
            return false;
    return true;
}

void ConfigureEncoder(int formatIndex, const SettingsFile& settings, const QString& commandLine,
                      IAudioFile2& writer, IAudioFile2LameEnc& encoder) {
    switch (formatIndex) {
    case OutputMp3:
        configureMp3(settings, commandLine, writer, encoder);
        break;
    case OutputWav:
        configureWav(settings, writer);
        break;
    case OutputWma:
        configureWma(settings, writer);
        break;
    case OutputOgg:
        configureOgg(settings, writer);
        break;
    case OutputFlac:
        configureFlac(settings, writer);
        break;
    case OutputOpus:
        configureOpus(settings, writer);
        break;
    default:
        break;
    }
}
