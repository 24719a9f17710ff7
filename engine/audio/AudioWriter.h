#pragma once

#include "engine/audio/AudioEncoder.h"
#include "engine/audio/SampleArray.h"
#include "engine/audio/StreamConverter.h"

#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// The writing side of an audio file: takes blocks in the caller's format,
// converts them to the encoder's and feeds it. No encoder ever sees a sample
// that is not finite or lies outside -1..1: a float source may hold them, and
// LAME asserts on them.
class AudioWriter {
public:
    AudioWriter(const QString& path, std::unique_ptr<AudioEncoder> encoder, int inputRate,
                int inputChannels);

    const QString& path() const { return path_; }
    // The format of the blocks to come; what is still in the resampler is
    // written out in the old one first.
    void setInputFormat(int rate, int channels);
    // The frames the blocks to come hold in all; the encoder hears of it when
    // they reach it unconverted.
    void expectFrames(std::int64_t frames);
    void write(const SampleArray& samples);
    // Flushes the conversion and completes the file.
    void finish();
    // How many samples so far were not numbers, infinite or beyond twice
    // full scale: faults of the source, clipped like every sample outside
    // -1..1 (a NaN became 0).
    std::int64_t faultySamples() const { return faults_; }

private:
    void encode(const float* interleaved, std::size_t frames);
    // Encodes what the converter delivered, clipped to full scale.
    void encodeConverted();

    QString path_;
    std::unique_ptr<AudioEncoder> encoder_;
    StreamConverter converter_;
    std::vector<float> converted_;
    std::vector<float> carry_; // a partial frame left from the last block
    std::vector<float> clean_; // a block whose samples needed mending
    std::int64_t faults_ = 0;
};
