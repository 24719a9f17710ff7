#pragma once

#include "engine/audio/SampleArray.h"

#include <QString>

// Where a cut makes no click: the frame nearest to a wanted one at which the
// signal (all channels summed) changes its sign.
class ZeroCrossing {
public:
    // How far either side of the wanted frame a crossing is looked for.
    static constexpr int SearchFrames = 2048;

    // In `block`, whose first frame is frame `blockStart` of the file: the
    // crossing nearest to `target` (the first frame of the new sign), or
    // `target` when the block holds none.
    static long long Nearest(const SampleArray& block, long long blockStart, long long target);
    // The same, reading the frames around `target` from the file. Throws
    // Error when it cannot be read.
    static long long NearestIn(const QString& path, long long target);
};
