#pragma once

#include "engine/audio/IAudioFile2.h"
#include "engine/audio/OggEncoder.h"

#include <QString>

#include <map>
#include <memory>

class AudioReader;
class AudioWriter;

// One audio file component: reads sources and writes outputs, each made by
// the encoder its extension names. The four formats of the set-up calls
// below (WAV, MP3, OGG, WMA) are built in; every other comes with its
// encoder (SetEncoderFactory), which the output format registry hands over.
// The program uses one object for each role. No output is ever created over
// a file that was read as a source.
class AudioFile2 : public IAudioFile2 {
public:
    AudioFile2();
    ~AudioFile2() override;
    AudioFile2(const AudioFile2&) = delete;
    AudioFile2& operator=(const AudioFile2&) = delete;

    void Open(const QString& fileName, int option0, int option1) override;
    void Close() override;
    SampleArray ReadSamples(int count) override;
    std::int64_t Seek(std::int64_t frame, int mode) override;
    void SetReadAhead(bool on) override;
    void SetQuickSeeks(bool on) override;

    void CreateOutput(const QString& fileName, int option) override;
    void WriteSamples(const SampleArray& samples) override;
    std::int64_t FaultySamples() override { return faults_; }

    // `channelMode` is the position in the MP3 channel list plus one:
    // 1 mono, 2 stereo, 3 joint stereo, 4 forced joint stereo, 5 dual channel.
    bool CheckMp3Format(int sampleRate, int kbps, int channelMode) override;
    bool CheckOggFormat(int sampleRate, int channels, int kbps, int minKbps, int maxKbps) override;

    // On an object reading a file this converts what it delivers; otherwise
    // it sets the format of the blocks given to WriteSamples.
    void SetSampleFormat(int sampleRate, int channels) override;
    void SetWavFormat(int sampleRate, int channels, int bitsPerSample) override;
    void SetMp3Encoder(IAudioFile2LameEnc* encoder) override;
    void SetOggFormat(int sampleRate, int channels, int kbps, int minKbps, int maxKbps,
                      int quality) override;
    void SetWmaProfile(int profile) override;
    void SetSampleBits(int bits) override;
    void SetEncoderFactory(const QStringList& extensions, EncoderFactory factory) override;
    void SetOutputLength(std::int64_t frames) override;

    // Of the file being read; 0 when none is open.
    std::int64_t SampleCount() override;
    bool IsOpen() override;
    std::int64_t DurationMs() override;
    // Of the file being read (its own format, whatever it is converted to),
    // else of the blocks a writer takes.
    int Channels() override;
    int SampleRate() override;
    int SampleBits() override;
    // Switching off closes what is open and forgets the set-up; while off,
    // nothing can be opened or created.
    void SetActive(bool active) override;

    // The file was read as a source in this run of the program; outputs
    // must never replace it.
    static bool IsSource(const QString& path);

private:
    void requireActive(const QString& fileName) const;
    void closeReader();
    void closeWriter();
    // The encoders of the built-in formats, made from their set-up; forgets
    // those handed over.
    void addBuiltInEncoders();

    bool active_ = true;
    std::unique_ptr<AudioReader> reader_;
    std::unique_ptr<AudioWriter> writer_;
    std::int64_t faults_ = 0; // of the last output, kept after it is closed

    int inputRate_ = 44100;
    int inputChannels_ = 2;
    int wavRate_ = 44100;
    int wavChannels_ = 2;
    int wavBits_ = 16;
    OggEncoder::Format ogg_;
    int wmaProfile_ = 10;
    int inputBits_ = 0;
    IAudioFile2LameEnc* mp3Encoder_ = nullptr;
    // By extension, lower case with its dot.
    std::map<QString, EncoderFactory> encoders_;
};
