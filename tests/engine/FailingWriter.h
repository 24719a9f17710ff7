#pragma once

#include "engine/audio/IAudioFile2.h"
#include "platform/Error.h"

// Forwards to the real writer but fails on the n-th block, as a full disk
// would.
class FailingWriter : public IAudioFile2 {
public:
    FailingWriter(IAudioFile2& real, int failAt) : real_(real), failAt_(failAt) {}
    void WriteSamples(const SampleArray& samples) override {
        if (++writes_ == failAt_)
            throw Error(QStringLiteral("Cannot write: disk full"));
        real_.WriteSamples(samples);
    }
    void Open(const QString& f, int a, int b) override { real_.Open(f, a, b); }
    void Close() override { real_.Close(); }
    SampleArray ReadSamples(int count) override { return real_.ReadSamples(count); }
    std::int64_t Seek(std::int64_t frame, int mode) override { return real_.Seek(frame, mode); }
    void CreateOutput(const QString& f, int o) override { real_.CreateOutput(f, o); }
    bool CheckMp3Format(int r, int k, int m) override { return real_.CheckMp3Format(r, k, m); }
    bool CheckOggFormat(int r, int c, int k, int mn, int mx) override {
        return real_.CheckOggFormat(r, c, k, mn, mx);
    }
    void SetSampleFormat(int r, int c) override { real_.SetSampleFormat(r, c); }
    void SetWavFormat(int r, int c, int b) override { real_.SetWavFormat(r, c, b); }
    void SetMp3Encoder(IAudioFile2LameEnc* e) override { real_.SetMp3Encoder(e); }
    void SetOggFormat(int r, int c, int k, int mn, int mx, int q) override {
        real_.SetOggFormat(r, c, k, mn, mx, q);
    }
    void SetWmaProfile(int p) override { real_.SetWmaProfile(p); }
    std::int64_t SampleCount() override { return real_.SampleCount(); }
    bool IsOpen() override { return real_.IsOpen(); }
    std::int64_t DurationMs() override { return real_.DurationMs(); }
    int Channels() override { return real_.Channels(); }
    int SampleRate() override { return real_.SampleRate(); }
    void SetActive(bool a) override { real_.SetActive(a); }

private:
    IAudioFile2& real_;
    int failAt_;
    int writes_ = 0;
};
