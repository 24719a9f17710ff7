#pragma once

#include "core/AudioFileinfo.h"
#include "core/PieceTags.h"
#include "core/TitledPiece.h"

#include <QString>

#include <cstdint>
#include <vector>

// The job of one source file: what it is, how it is marked and what its
// outputs are tagged with. Row k of the file list shows JobList[k].
// `BeginTimes` and `EndTimes` always hold at least `SegmentCount` entries;
// the last segment in use is the unconfirmed working segment.
struct listrecord {
    std::int32_t SegmentCount = 1;
    QString FileName;
    std::vector<std::int32_t> BeginTimes;
    std::vector<std::int32_t> EndTimes;
    std::int32_t Duration = 0;    // whole seconds
    std::int32_t SliderRange = 0; // maximum of the preview slider for this file
    std::int64_t SampleCount = 0; // length in sample frames
    std::int32_t SampleRate = 0;  // frames a second; second t is frame t × SampleRate
    std::int32_t Channels = 0;    // 0 when not measured
    std::int64_t FileBytes = 0;   // size of the source file
    // The name the file list shows and output files are named after: the
    // source's title fit for a file name, else the file name.
    QString Caption;
    // What the outputs of this file are tagged with.
    AudioFileinfo Tags;
    // Pieces another program marked (a cue sheet's tracks, labels, chapters),
    // at exact frames and each with its own tags. When there are any, the
    // custom function cuts these instead of the whole-second segments.
    std::vector<TitledPiece> Pieces;
    // What the pieces' sheet says of them all (its TITLE as album, ...).
    PieceTags Sheet;
    // Where that sheet was read: a cover beside it belongs to the pieces too.
    QString SheetFile;
};
