#include "engine/ConfigureEncoder.h"

#include "engine/EncoderKey.h"
#include "platform/SettingsFile.h"

#include <algorithm>
#include <initializer_list>

using namespace EncoderKeys;

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
    if (OutputFormats::Has(formatIndex))
        OutputFormats::At(formatIndex).configure(settings, commandLine, writer, encoder);
}
