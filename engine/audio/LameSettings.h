#pragma once

#include <QString>

#include <vector>

struct lame_global_struct;

// Everything an MP3 encode is set up from: the encoder settings object's 24
// values plus the parsed LAME command line, applied to a LAME handle in the
// order LAME's own front end would (settings, presets, then switches).
struct LameSettings {
    // One parsed command-line switch.
    struct Switch {
        enum Kind {
            Bitrate,        // -b
            MaxBitrate,     // -B
            VbrQuality,     // -V (value in `number`)
            Vbr,            // -v, --vbr-new: LAME's default VBR method
            VbrOld,         // --vbr-old
            Abr,            // --abr
            Cbr,            // --cbr
            Quality,        // -q, -h, -f
            Mode,           // -m (value: 'm','s','j','f','d','a')
            Crc,            // -p
            Preset,         // --preset (value: LAME preset code)
            MonoPreset,     // an old named preset that also means mono
            Resample,       // --resample (Hz)
            Lowpass,        // --lowpass (Hz, -1 off)
            Highpass,       // --highpass (Hz, -1 off)
            LowpassWidth,   // --lowpass-width (Hz)
            HighpassWidth,  // --highpass-width (Hz)
            StrictIso,      // --strictly-enforce-ISO
            HardMin,        // -F
            NoVbrTag,       // -t
            NoReservoir,    // --nores
            Emphasis,       // -e
            NoAth,          // --noath
            AthOnly,        // --athonly
            AthShort,       // --athshort
            NoShortBlocks,  // --noshort
            AllShortBlocks, // --allshort
        };
        Kind kind;
        int value = 0;
        double number = 0;
    };

    // Settings-object values. Defaults give a plain 128 kbps CBR encode at
    // quality 5 with LAME's own choice of channel mode and output rate.
    int preset = 0;    // 1..11, 0 none
    int altPreset = 0; // 1..5, 0 none
    int vbrBitrate = 128;
    int vbrQuality = 5;
    int vbrMethod = -1;   // -1 CBR, 0 default, 1 old, 2 new, 3 mtrh
    int channelMode = -1; // -1 LAME's choice, 0 mono, 1 stereo, 2 joint, 3 forced joint, 4 dual
    int quality = 5;
    bool writeVbrHeader = true;
    bool bitReservoir = true;
    bool allowDiffBlockTypes = false;
    bool shortBlocks = true;
    int deEmphasis = 0; // 0 none, 1 50/15 microseconds, 2 CCITT J.17
    bool strictIso = false;
    bool enforceMinBitrate = false;
    int athMode = 0; // 0 default, 1 only, 2 disabled, 3 only for short blocks
    int lowpassHz = -1;
    int highpassHz = -1;
    int lowpassWidthHz = -1;
    int highpassWidthHz = -1;
    bool crc = false;
    int outputRate = 0; // 0: LAME picks
    int channels = 0;   // 0: as the source (at most 2)
    int bitrate = 128;
    std::vector<Switch> commandLine;

    // Parses LAME switches; throws Error naming an unknown or malformed one.
    static std::vector<Switch> parseCommandLine(const QString& text);

    // The number of channels the encoder is fed (and writes): 1 or 2.
    int outputChannels(int sourceChannels) const;
    // Applies everything but the input format to `lame`, before
    // lame_init_params. `channelsIn` is outputChannels().
    void applyTo(lame_global_struct* lame, int channelsIn) const;
};
