#include "engine/ConfigureEncoder.h"

#include "engine/EncoderKey.h"
#include "platform/SettingsFile.h"

using namespace EncoderKeys;

bool CopyOggPieces(const SettingsFile& settings) {
    if (settings.Contains(OggCopy.section(), OggCopy.name()))
        return OggCopy.encoderFlag(settings);
    return OggSettingsAreDefault(settings);
}

bool CopyPieces(const SettingsFile& settings, int formatIndex, const QString& commandLine) {
    if (!OutputFormats::Has(formatIndex) || !CopyOggPieces(settings))
        return false;
    const std::optional<StreamCopy>& copy = OutputFormats::At(formatIndex).copy;
    return copy && (!copy->settingsAllow || copy->settingsAllow(settings, commandLine));
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
