#pragma once

#include "engine/audio/AudioOverview.h"

#include <QString>

#include <atomic>
#include <functional>

// Decodes a file once and sums it up as an `AudioOverview`. Safe to run on
// any thread: it shares nothing with the rest of the program.
class PeakScanner {
public:
    // The finest bin: 10 ms. Longer files get longer bins so that no file
    // needs more than MaxBins (a few MB, whatever its length).
    static constexpr int BinsPerSecond = 100;
    static constexpr long long MaxBins = 1 << 19;

    // Thrown when the scan was called off; never shown to the user.
    struct Cancelled {};

    // Throws Error when the file cannot be decoded. `cancel` is looked at
    // between blocks of a few thousand frames, and so is `keepGoing` (false
    // ends the scan); either ends it with Cancelled.
    static AudioOverview Scan(const QString& path, const std::atomic<bool>* cancel = nullptr,
                              const std::function<bool()>& keepGoing = {});

    // The bin length Scan picks for a file of `frames` frames at `rate`.
    static long long FramesPerBin(int rate, long long frames);
};
