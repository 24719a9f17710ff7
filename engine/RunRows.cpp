#include "engine/RunRows.h"

#include "core/Segments.h"

RunRows::Cut RunRows::CutSegments(const listrecord& record) {
    listrecord copy = record;
    Segments::Normalise(copy);
    const int rows = PiecePlan::CutSegments(copy);
    return {rows, rows < copy.SegmentCount};
}
