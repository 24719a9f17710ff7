#pragma once

#include "app/editor/EditorPieces.h"

#include <vector>

class TimeAxis;

// What lies under the mouse in the editor's waveform: a piece's edge, its
// title or its body, or nothing. Edges win over bodies, so a cut shared by
// two pieces is always grabbed.
class RegionHit {
public:
    enum class Part { None, Begin, End, Title, Body };

    // Pixels either side of an edge that still grab it.
    static constexpr double EdgeReach = 4.0;

    Part part = Part::None;
    int row = -1;

    // At (x, y) of the waveform area, whose title band is the top
    // `titleHeight` pixels.
    static RegionHit At(const std::vector<EditorPieces::Region>& regions, const TimeAxis& axis,
                        double x, double y, double titleHeight);
};
