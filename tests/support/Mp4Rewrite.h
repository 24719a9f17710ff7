#pragma once

#include <QString>

// Rewrites of MP4 files FFmpeg wrote (media data first, movie box last),
// for the layouts FFmpeg itself writes only for files of gigabytes.
struct Mp4Rewrite {
    // Moves the media data `gap` bytes on behind a free box (the gap left
    // sparse on disk) and lists the chunks in a co64 box of 64-bit offsets
    // instead of stco. Throws std::runtime_error.
    static void WideOffsets(const QString& path, qint64 gap);
};
