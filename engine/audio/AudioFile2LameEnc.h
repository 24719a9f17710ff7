#pragma once

#include "engine/audio/IAudioFile2LameEnc.h"
#include "engine/audio/LameSettings.h"

// The MP3 encoder settings object. A writer takes the settings when it
// creates an MP3 output. The setter calls that follow start a new set-up:
// presets and the command line then last only until they are sent again, so
// a preset or command line that is no longer chosen never lingers.
class AudioFile2LameEnc : public IAudioFile2LameEnc {
public:
    void SetCommandLine(const QString& commandLine) override;
    void SetPreset(int preset) override;
    void SetAltPreset(int altPreset) override;
    void SetVbrBitrate(int kbps) override;
    void SetVbrQuality(int quality) override;
    void SetVbrMethod(int method) override;
    void SetChannelMode(int mode) override;
    void SetQuality(int quality) override;
    void SetWriteVbrHeader(bool enabled) override;
    void SetBitReservoir(bool enabled) override;
    void SetAllowDiffBlockTypes(bool enabled) override;
    void SetShortBlocks(bool enabled) override;
    void SetDeEmphasis(int mode) override;
    void SetStrictIso(bool enabled) override;
    void SetEnforceMinBitrate(bool enabled) override;
    void SetAthMode(int mode) override;
    void SetLowpassFrequency(int hz) override;
    void SetHighpassFrequency(int hz) override;
    void SetLowpassWidth(int hz) override;
    void SetHighpassWidth(int hz) override;
    void SetCrc(bool enabled) override;
    void SetOutputSampleRate(int hz) override;
    void SetChannels(int channels) override;
    void SetBitrate(int kbps) override;

    const LameSettings& Settings() const { return settings_; }
    // The settings for an encode about to start; ends the current set-up.
    LameSettings TakeSettings();

private:
    void beginChange();
    // Individual values and presets exclude each other: the later wins.
    void beginValueChange();

    LameSettings settings_;
    bool taken_ = false;
};
