#include "tests/engine/RecordingComponents.h"

void RecordingComponents::record(const char* name, std::initializer_list<int> args) {
    QStringList parts;
    for (const int a : args)
        parts << QString::number(a);
    calls << QStringLiteral("%1(%2)").arg(QLatin1String(name), parts.join(QStringLiteral(", ")));
}

void RecordingComponents::Open(const QString&, int, int) {
    calls << QStringLiteral("Open");
    open = true;
}
void RecordingComponents::Close() {
    calls << QStringLiteral("Close()");
    open = false;
}
SampleArray RecordingComponents::ReadSamples(int) {
    return {};
}
std::int64_t RecordingComponents::Seek(std::int64_t, int) {
    return 0;
}
void RecordingComponents::CreateOutput(const QString&, int) {
    calls << QStringLiteral("CreateOutput");
    open = true;
}
void RecordingComponents::WriteSamples(const SampleArray&) {}
bool RecordingComponents::CheckMp3Format(int sampleRate, int kbps, int channelMode) {
    record("CheckMp3Format", {sampleRate, kbps, channelMode});
    return mp3Accepted;
}
bool RecordingComponents::CheckOggFormat(int sampleRate, int channels, int kbps, int minKbps,
                                         int maxKbps) {
    record("CheckOggFormat", {sampleRate, channels, kbps, minKbps, maxKbps});
    return oggAccepted;
}
void RecordingComponents::SetSampleFormat(int sampleRate, int channels) {
    record("SetSampleFormat", {sampleRate, channels});
}
void RecordingComponents::SetWavFormat(int sampleRate, int channels, int bitsPerSample) {
    record("SetWavFormat", {sampleRate, channels, bitsPerSample});
}
void RecordingComponents::SetMp3Encoder(IAudioFile2LameEnc* enc) {
    calls << QStringLiteral("SetMp3Encoder");
    encoder = enc;
}
void RecordingComponents::SetOggFormat(int sampleRate, int channels, int kbps, int minKbps,
                                       int maxKbps, int quality) {
    record("SetOggFormat", {sampleRate, channels, kbps, minKbps, maxKbps, quality});
}
void RecordingComponents::SetWmaProfile(int profile) {
    record("SetWmaProfile", {profile});
}
std::int64_t RecordingComponents::SampleCount() {
    return 0;
}
bool RecordingComponents::IsOpen() {
    return open;
}
std::int64_t RecordingComponents::DurationMs() {
    return 0;
}
int RecordingComponents::Channels() {
    return 0;
}
int RecordingComponents::SampleRate() {
    return 0;
}
void RecordingComponents::SetActive(bool) {}

void RecordingComponents::SetCommandLine(const QString& commandLine) {
    calls << QStringLiteral("SetCommandLine(%1)").arg(commandLine);
}
void RecordingComponents::SetPreset(int v) {
    record("SetPreset", {v});
}
void RecordingComponents::SetAltPreset(int v) {
    record("SetAltPreset", {v});
}
void RecordingComponents::SetVbrBitrate(int v) {
    record("SetVbrBitrate", {v});
}
void RecordingComponents::SetVbrQuality(int v) {
    record("SetVbrQuality", {v});
}
void RecordingComponents::SetVbrMethod(int v) {
    record("SetVbrMethod", {v});
}
void RecordingComponents::SetChannelMode(int v) {
    record("SetChannelMode", {v});
}
void RecordingComponents::SetQuality(int v) {
    record("SetQuality", {v});
}
// Booleans as the component interface knows them: -1 true, 0 false.
void RecordingComponents::SetWriteVbrHeader(bool v) {
    record("SetWriteVbrHeader", {v ? -1 : 0});
}
void RecordingComponents::SetBitReservoir(bool v) {
    record("SetBitReservoir", {v ? -1 : 0});
}
void RecordingComponents::SetAllowDiffBlockTypes(bool v) {
    record("SetAllowDiffBlockTypes", {v ? -1 : 0});
}
void RecordingComponents::SetShortBlocks(bool v) {
    record("SetShortBlocks", {v ? -1 : 0});
}
void RecordingComponents::SetDeEmphasis(int v) {
    record("SetDeEmphasis", {v});
}
void RecordingComponents::SetStrictIso(bool v) {
    record("SetStrictIso", {v ? -1 : 0});
}
void RecordingComponents::SetEnforceMinBitrate(bool v) {
    record("SetEnforceMinBitrate", {v ? -1 : 0});
}
void RecordingComponents::SetAthMode(int v) {
    record("SetAthMode", {v});
}
void RecordingComponents::SetLowpassFrequency(int v) {
    record("SetLowpassFrequency", {v});
}
void RecordingComponents::SetHighpassFrequency(int v) {
    record("SetHighpassFrequency", {v});
}
void RecordingComponents::SetLowpassWidth(int v) {
    record("SetLowpassWidth", {v});
}
void RecordingComponents::SetHighpassWidth(int v) {
    record("SetHighpassWidth", {v});
}
void RecordingComponents::SetCrc(bool v) {
    record("SetCrc", {v ? -1 : 0});
}
void RecordingComponents::SetOutputSampleRate(int v) {
    record("SetOutputSampleRate", {v});
}
void RecordingComponents::SetChannels(int v) {
    record("SetChannels", {v});
}
void RecordingComponents::SetBitrate(int v) {
    record("SetBitrate", {v});
}
