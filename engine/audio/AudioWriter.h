#pragma once

#include "engine/audio/AudioEncoder.h"
#include "engine/audio/SampleArray.h"
#include "engine/audio/StreamConverter.h"

#include <QString>

#include <memory>
#include <vector>

// The writing side of an audio file: takes blocks in the caller's format,
// converts them to the encoder's and feeds it.
class AudioWriter {
public:
    AudioWriter(const QString& path, std::unique_ptr<AudioEncoder> encoder, int inputRate,
                int inputChannels);

    const QString& path() const { return path_; }
    // The format of the blocks to come; what is still in the resampler is
    // written out in the old one first.
    void setInputFormat(int rate, int channels);
    void write(const SampleArray& samples);
    // Flushes the conversion and completes the file.
    void finish();

private:
    void encode(const float* interleaved, std::size_t frames);

    QString path_;
    std::unique_ptr<AudioEncoder> encoder_;
    StreamConverter converter_;
    std::vector<float> converted_;
    std::vector<float> carry_; // a partial frame left from the last block
};
