#include "app/editor/RegionHit.h"

#include "app/editor/TimeAxis.h"

#include <cmath>

RegionHit RegionHit::At(const std::vector<EditorPieces::Region>& regions, const TimeAxis& axis,
                        double x, double y, double titleHeight) {
    RegionHit hit;
    double nearest = EdgeReach;
    for (size_t k = 0; k < regions.size(); ++k) {
        const double begin = axis.xOf(regions[k].begin);
        const double end = axis.xOf(regions[k].end);
        // A piece too narrow to hold both edges apart is grabbed by its end.
        for (const auto& [edgeX, part] :
             {std::pair{begin, Part::Begin}, std::pair{end, Part::End}}) {
            // Where two pieces meet, the one the mouse is over wins.
            const bool inside = part == Part::Begin ? x >= edgeX : x <= edgeX;
            const double d = std::abs(x - edgeX) - (inside ? 0.01 : 0.0);
            if (d <= nearest) {
                nearest = d;
                hit.part = part;
                hit.row = static_cast<int>(k);
            }
        }
    }
    if (hit.part != Part::None)
        return hit;
    // The narrowest piece under the mouse, so one inside another is reachable.
    double narrowest = -1;
    for (size_t k = 0; k < regions.size(); ++k) {
        const double begin = axis.xOf(regions[k].begin);
        const double end = axis.xOf(regions[k].end);
        if (x < begin || x >= end)
            continue;
        if (narrowest < 0 || end - begin < narrowest) {
            narrowest = end - begin;
            hit.row = static_cast<int>(k);
            hit.part = y < titleHeight ? Part::Title : Part::Body;
        }
    }
    return hit;
}
