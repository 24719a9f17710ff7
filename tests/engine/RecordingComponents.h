#pragma once

#include "engine/audio/IAudioFile2.h"
#include "engine/audio/IAudioFile2LameEnc.h"

#include <QStringList>

// A writer and MP3 encoder settings object in one that records every call as
// "Name(arg, arg)" in the order the calls arrive.
class RecordingComponents : public IAudioFile2, public IAudioFile2LameEnc {
public:
    QStringList calls;
    bool open = false;
    bool mp3Accepted = true;
    bool oggAccepted = true;
    IAudioFile2LameEnc* encoder = nullptr;

    // IAudioFile2
    void Open(const QString& fileName, int option0, int option1) override;
    void Close() override;
    SampleArray ReadSamples(int count) override;
    std::int64_t Seek(std::int64_t frame, int mode) override;
    void CreateOutput(const QString& fileName, int option) override;
    void WriteSamples(const SampleArray& samples) override;
    bool CheckMp3Format(int sampleRate, int kbps, int channelMode) override;
    bool CheckOggFormat(int sampleRate, int channels, int kbps, int minKbps, int maxKbps) override;
    void SetSampleFormat(int sampleRate, int channels) override;
    void SetWavFormat(int sampleRate, int channels, int bitsPerSample) override;
    void SetMp3Encoder(IAudioFile2LameEnc* enc) override;
    void SetOggFormat(int sampleRate, int channels, int kbps, int minKbps, int maxKbps,
                      int quality) override;
    void SetWmaProfile(int profile) override;
    std::int64_t SampleCount() override;
    bool IsOpen() override;
    std::int64_t DurationMs() override;
    int Channels() override;
    int SampleRate() override;
    void SetActive(bool active) override;

    // IAudioFile2LameEnc
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

private:
    void record(const char* name, std::initializer_list<int> args);
};
