#pragma once

#include <QString>

class SettingsFile;

// One encoder key of the settings file. The settings dialog and the encoder
// configuration read the same keys but not always with the same default: the
// dialog fills a missing MP3 quality with 4, the encoder works with 5.
class EncoderKey {
public:
    constexpr EncoderKey(const char* section, const char* name, int bothDefault)
        : EncoderKey(section, name, bothDefault, bothDefault) {}
    constexpr EncoderKey(const char* section, const char* name, int dialogDefault,
                         int encoderDefault)
        : section_(section), name_(name), dialogDefault_(dialogDefault),
          encoderDefault_(encoderDefault) {}

    QString section() const { return QString::fromLatin1(section_); }
    QString name() const { return QString::fromLatin1(name_); }
    constexpr int dialogDefault() const { return dialogDefault_; }
    constexpr int encoderDefault() const { return encoderDefault_; }

    int dialogValue(const SettingsFile& settings) const;
    int encoderValue(const SettingsFile& settings) const;
    bool dialogFlag(const SettingsFile& settings) const;
    bool encoderFlag(const SettingsFile& settings) const;
    // The encoder value, or the default when the file holds one outside
    // low..high: keys that store the setting itself rather than a position.
    int valueWithin(const SettingsFile& settings, int low, int high) const;
    // Whether the file leaves the key at a default: either counts, as the
    // dialog's Default writes the one and a file without the key reads the
    // other.
    bool holdsDefault(const SettingsFile& settings) const;

    void write(SettingsFile& settings, int value) const;
    void writeFlag(SettingsFile& settings, bool value) const;

private:
    const char* section_;
    const char* name_;
    int dialogDefault_;
    int encoderDefault_;
};

// The keys of the settings dialog's hand-laid pages (MP3, WAV, WMA, OGG), in
// the order it writes them. Flags hold 1 or 0 as their default. Formats with
// pages built from fields keep their keys in their registry record
// (OutputFormats).
namespace EncoderKeys {
inline constexpr EncoderKey Mp3Bitrate{"mp3", "bitrate", 9};
inline constexpr EncoderKey Mp3Channel{"mp3", "channel", 1};
inline constexpr EncoderKey Mp3Frequency{"mp3", "frequency", 7};
inline constexpr EncoderKey Mp3Quality{"mp3", "quality", 4, 5};
inline constexpr EncoderKey VbrCodingMethod{"MP3VBR", "Coding Method", 0};
inline constexpr EncoderKey VbrBitrate{"MP3VBR", "vbr bitrate", 9};
inline constexpr EncoderKey VbrQuality{"MP3VBR", "vbr quality", 4, 5};
inline constexpr EncoderKey VbrHeader{"MP3VBR", "vbrck", 1};
inline constexpr EncoderKey VbrEnforceMin{"MP3VBR", "semb", 0};
inline constexpr EncoderKey HighpassOn{"MP3Filt", "chHFilt", 0};
inline constexpr EncoderKey LowpassOn{"MP3Filt", "chLFilt", 0};
inline constexpr EncoderKey HighpassFrequency{"MP3Filt", "udHFiltF", 30};
inline constexpr EncoderKey HighpassWidth{"MP3Filt", "udHFiltW", 5};
inline constexpr EncoderKey LowpassFrequency{"MP3Filt", "udLFiltF", 15160};
inline constexpr EncoderKey LowpassWidth{"MP3Filt", "udLFiltW", 750};
inline constexpr EncoderKey BitReservoir{"MP3Expert", "Bit", 1};
inline constexpr EncoderKey ShortBlocks{"MP3Expert", "short", 1};
inline constexpr EncoderKey AllowDiffBlocks{"MP3Expert", "allow", 0};
inline constexpr EncoderKey StrictIso{"MP3Expert", "comply", 0};
inline constexpr EncoderKey Crc{"MP3Expert", "crc", 0};
inline constexpr EncoderKey AthMode{"MP3Expert", "ath", 0};
inline constexpr EncoderKey DeEmphasis{"MP3Expert", "de", 0};
inline constexpr EncoderKey PresetOn{"MP3Prest", "preset", 0};
inline constexpr EncoderKey AltPresetOn{"MP3Prest", "alt", 0};
inline constexpr EncoderKey Preset{"MP3Prest", "rg_prest", 0};
inline constexpr EncoderKey AltPreset{"MP3Prest", "rg_alt", 0};
inline constexpr EncoderKey WavMode{"wav", "mode", 0};
inline constexpr EncoderKey WavBits{"wav", "bit", 1};
inline constexpr EncoderKey WavChannel{"wav", "channel", 1};
inline constexpr EncoderKey WavFrequency{"wav", "frequency", 7};
inline constexpr EncoderKey WmaFormat{"wma", "format", 9};
inline constexpr EncoderKey OggChannel{"ogg", "channel", 1};
inline constexpr EncoderKey OggFrequency{"ogg", "frequency", 7};
inline constexpr EncoderKey OggBitrate{"ogg", "bitrate", 9};
inline constexpr EncoderKey OggMaxBitrate{"ogg", "max bitrate", 9};
inline constexpr EncoderKey OggMinBitrate{"ogg", "min bitrate", 9};
inline constexpr EncoderKey OggQuality{"ogg", "quality", 300};
inline constexpr EncoderKey OggVbr{"ogg", "oggvbr", 0};
inline constexpr EncoderKey OggQualityMode{"ogg", "oggquality", 0};
// Pieces whose audio nothing changes are cut by copying the source's packets
// instead of re-encoding them (the key is the OGG page's, where the box is).
inline constexpr EncoderKey OggCopy{"ogg", "copy", 1};
} // namespace EncoderKeys
