#pragma once

#include "engine/audio/SourceChapters.h"

#include <QString>

#include <optional>
#include <vector>

// The chapters of an MP4 file (M4B, M4A, MOV) read from its boxes the way
// libavformat lists them, without the index of every sample libavformat
// builds first (hundreds of megabytes for a long audiobook): Nero chapters
// (moov/udta/chpl) and a QuickTime chapter track, a text track the audio
// track names in tref/chap, whose samples hold the titles. Where both give
// a chapter of the same number, the track's wins, as in libavformat.
class Mp4Chapters {
public:
    // The chapters at `rate`, in the file's order; nothing where the file
    // is no MP4 file, or holds what this does not read exactly as
    // libavformat does: the caller then asks libavformat.
    static std::optional<std::vector<SourceChapters::Chapter>> Read(const QString& path, int rate);
};
