#include "engine/RunRows.h"

#include "core/Segments.h"

RunRows::Cut RunRows::CutSegments(const listrecord& record) {
    listrecord copy = record;
    Segments::Normalise(copy);
    if (copy.SegmentCount <= 1)
        return {copy.SegmentCount, false};
    return {copy.SegmentCount - 1, true};
}
