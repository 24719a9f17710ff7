#pragma once

#include "engine/audio/PeakPyramid.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

// A first look at a whole file while its peak pyramid is still being built:
// short stretches read at evenly spaced places, coarse to fine (every
// place between two read ones comes later), so a long file shows its
// shape within a second or two and sharpens as more places are read.
class WaveformSketch {
public:
    // Places read across the file, and frames read at each.
    static constexpr int Places = 2048;
    static constexpr int StretchFrames = 2048;

    std::int64_t frames = 0;
    int lanes = 1;
    // Per place and lane (lane by lane within a place) its lowest and
    // highest sample; `read` says which places are in.
    std::vector<PeakPyramid::Peak> peaks;
    std::vector<bool> read;
    int placesRead = 0;

    // The first frame of place `k`.
    std::int64_t placeStart(int k) const { return frames * k / Places; }
    // Lowest and highest of `lane` over frames [from, to): the places read
    // within, or the nearest place read when none lies within. False while
    // nothing is read.
    bool peakOver(int lane, double from, double to, PeakPyramid::Peak& out) const;

    // Reads `path`, handing a copy of what is read so far to `deliver`
    // after every `batch` places (and at the end). Stops early when
    // `cancel` is set. Throws Error when the file cannot be opened.
    static void Read(const QString& path, const std::atomic<bool>& cancel, int batch,
                     const std::function<void(std::shared_ptr<const WaveformSketch>)>& deliver);

    // The order places are read in: 0, the middle, the quarters, ...
    static std::vector<int> Order();
};
