#pragma once

#include "engine/audio/PeakPyramid.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

// What one decoding pass learns about a file, kept small enough to hold for
// many files at once: per bin of `framesPerBin` frames the lowest and highest
// sample of any channel (full scale is 32767) and the loudness (the RMS over
// all channels, in hundredths of a dBFS). The bins are fine enough to place a
// cut within a few hundredths of a second, so silences at any threshold and
// the waveform at any width come from this without decoding again.
struct AudioOverview {
    // The quietest level kept: digital silence reads as this.
    static constexpr std::int16_t FloorLevel = -12000;

    int rate = 0;
    long long frames = 0;
    long long framesPerBin = 1;
    std::vector<std::int16_t> low;
    std::vector<std::int16_t> high;
    std::vector<std::int16_t> level;
    // Per channel and at every zoom, for the waveform editor.
    std::shared_ptr<const PeakPyramid> pyramid;

    std::size_t bins() const { return level.size(); }
    // The first frame of bin `k`.
    long long binStart(std::size_t k) const { return static_cast<long long>(k) * framesPerBin; }
    long long durationMs() const { return rate > 0 ? frames * 1000 / rate : 0; }
    std::size_t bytes() const {
        return sizeof(AudioOverview) +
               (low.capacity() + high.capacity() + level.capacity()) * sizeof(std::int16_t) +
               (pyramid ? pyramid->bytes() : 0);
    }
};
