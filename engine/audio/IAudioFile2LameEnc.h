#pragma once

#include <QString>

// The MP3 encoder settings object: 24 setters, one value each, in the order of
// the component's interface slots. A writer set up with `SetMp3Encoder` reads
// these when it creates an MP3 output.
class IAudioFile2LameEnc {
public:
    virtual ~IAudioFile2LameEnc() = default;

    // LAME command-line switches; throws `Error` naming an unknown switch.
    virtual void SetCommandLine(const QString& commandLine) = 0;
    virtual void SetPreset(int preset) = 0;       // 1..11, 0 for none
    virtual void SetAltPreset(int altPreset) = 0; // 1..5, 0 for none
    virtual void SetVbrBitrate(int kbps) = 0;
    virtual void SetVbrQuality(int quality) = 0; // 0..9
    virtual void SetVbrMethod(int method) = 0;   // -1 none, 0 default, 1 old, 2 new, 3 mtrh
    virtual void SetChannelMode(int mode) = 0;   // 0 mono .. 4 dual channel
    virtual void SetQuality(int quality) = 0;    // 0 best .. 9 fastest
    virtual void SetWriteVbrHeader(bool enabled) = 0;
    virtual void SetBitReservoir(bool enabled) = 0;
    virtual void SetAllowDiffBlockTypes(bool enabled) = 0;
    virtual void SetShortBlocks(bool enabled) = 0;
    virtual void SetDeEmphasis(int mode) = 0;
    virtual void SetStrictIso(bool enabled) = 0;
    virtual void SetEnforceMinBitrate(bool enabled) = 0;
    virtual void SetAthMode(int mode) = 0;
    virtual void SetLowpassFrequency(int hz) = 0;  // -1 off
    virtual void SetHighpassFrequency(int hz) = 0; // -1 off
    virtual void SetLowpassWidth(int hz) = 0;
    virtual void SetHighpassWidth(int hz) = 0;
    virtual void SetCrc(bool enabled) = 0;
    virtual void SetOutputSampleRate(int hz) = 0;
    virtual void SetChannels(int channels) = 0;
    virtual void SetBitrate(int kbps) = 0;
};
