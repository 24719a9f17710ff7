#include "engine/audio/AudioFile2LameEnc.h"

void AudioFile2LameEnc::beginChange() {
    if (!taken_)
        return;
    taken_ = false;
    settings_.preset = 0;
    settings_.altPreset = 0;
    settings_.commandLine.clear();
}

void AudioFile2LameEnc::beginValueChange() {
    beginChange();
    settings_.preset = 0;
    settings_.altPreset = 0;
}

LameSettings AudioFile2LameEnc::TakeSettings() {
    taken_ = true;
    return settings_;
}

void AudioFile2LameEnc::SetCommandLine(const QString& commandLine) {
    // Parsed now, so a bad switch is reported before anything is encoded.
    auto parsed = LameSettings::parseCommandLine(commandLine);
    beginChange();
    settings_.commandLine = std::move(parsed);
}

void AudioFile2LameEnc::SetPreset(int preset) {
    beginChange();
    settings_.preset = preset;
}

void AudioFile2LameEnc::SetAltPreset(int altPreset) {
    beginChange();
    settings_.altPreset = altPreset;
}

void AudioFile2LameEnc::SetVbrBitrate(int kbps) {
    beginValueChange();
    settings_.vbrBitrate = kbps;
}

void AudioFile2LameEnc::SetVbrQuality(int quality) {
    beginValueChange();
    settings_.vbrQuality = quality;
}

void AudioFile2LameEnc::SetVbrMethod(int method) {
    beginValueChange();
    settings_.vbrMethod = method;
}

void AudioFile2LameEnc::SetChannelMode(int mode) {
    beginValueChange();
    settings_.channelMode = mode;
}

void AudioFile2LameEnc::SetQuality(int quality) {
    beginValueChange();
    settings_.quality = quality;
}

void AudioFile2LameEnc::SetWriteVbrHeader(bool enabled) {
    beginValueChange();
    settings_.writeVbrHeader = enabled;
}

void AudioFile2LameEnc::SetBitReservoir(bool enabled) {
    beginValueChange();
    settings_.bitReservoir = enabled;
}

void AudioFile2LameEnc::SetAllowDiffBlockTypes(bool enabled) {
    beginValueChange();
    settings_.allowDiffBlockTypes = enabled;
}

void AudioFile2LameEnc::SetShortBlocks(bool enabled) {
    beginValueChange();
    settings_.shortBlocks = enabled;
}

void AudioFile2LameEnc::SetDeEmphasis(int mode) {
    beginValueChange();
    settings_.deEmphasis = mode;
}

void AudioFile2LameEnc::SetStrictIso(bool enabled) {
    beginValueChange();
    settings_.strictIso = enabled;
}

void AudioFile2LameEnc::SetEnforceMinBitrate(bool enabled) {
    beginValueChange();
    settings_.enforceMinBitrate = enabled;
}

void AudioFile2LameEnc::SetAthMode(int mode) {
    beginValueChange();
    settings_.athMode = mode;
}

void AudioFile2LameEnc::SetLowpassFrequency(int hz) {
    beginValueChange();
    settings_.lowpassHz = hz;
}

void AudioFile2LameEnc::SetHighpassFrequency(int hz) {
    beginValueChange();
    settings_.highpassHz = hz;
}

void AudioFile2LameEnc::SetLowpassWidth(int hz) {
    beginValueChange();
    settings_.lowpassWidthHz = hz;
}

void AudioFile2LameEnc::SetHighpassWidth(int hz) {
    beginValueChange();
    settings_.highpassWidthHz = hz;
}

void AudioFile2LameEnc::SetCrc(bool enabled) {
    beginValueChange();
    settings_.crc = enabled;
}

void AudioFile2LameEnc::SetOutputSampleRate(int hz) {
    beginValueChange();
    settings_.outputRate = hz;
}

void AudioFile2LameEnc::SetChannels(int channels) {
    beginValueChange();
    settings_.channels = channels;
}

void AudioFile2LameEnc::SetBitrate(int kbps) {
    beginValueChange();
    settings_.bitrate = kbps;
}
