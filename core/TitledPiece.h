#pragma once

#include "core/PieceTags.h"

#include <cstdint>

// One piece of a source as another program marks it (a cue sheet's track, a
// label, a chapter): the frames [begin, end) with the piece's own tags.
struct TitledPiece {
    std::int64_t begin = 0;
    std::int64_t end = 0;
    PieceTags tags;

    bool operator==(const TitledPiece&) const = default;
};
