#pragma once

#include "core/listrecord.h"
#include "engine/PiecePlan.h"

#include <cstdint>
#include <vector>

// The rows a run cuts one file into, as the segment list is to show them
// while it runs: a record's own segments (the working one taken off, or a
// single one confirmed), the planned pieces, or the whole file as one row.
struct RunRows {
    enum class Kind { Segments, Pieces, Whole };
    Kind kind = Kind::Segments;
    int file = -1;
    // Segments: the record whose segments are shown; Whole: the file.
    listrecord record;
    // Pieces: the plan, at the source's rate.
    std::vector<PiecePlan::Piece> pieces;
    std::int32_t rate = 0;

    // How many rows of a record's segments a run cuts: a single segment as
    // it is, else all but the unconfirmed working one. `removed` tells
    // whether the working row is taken off.
    struct Cut {
        int rows = 0;
        bool removed = false;
    };
    static Cut CutSegments(const listrecord& record);
};
