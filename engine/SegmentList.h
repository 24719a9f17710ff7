#pragma once

#include "engine/PiecePlan.h"

#include <cstdint>
#include <vector>

class ReportListModel;
struct AppState;
struct listrecord;

// The rows of the segment list `lv_time`, filled the same way by the segment
// editor and the runs: a record's own segments (the last one is the working
// segment), or the planned pieces of a file, each from the frames it is
// cut at.
class SegmentList {
public:
    // The columns of a piece's range and of its title.
    static constexpr int RangeColumn = 0;
    static constexpr int StatusColumn = 2;
    static constexpr int TitleColumn = 3;

    SegmentList(const AppState& state, ReportListModel& lvTime);

    void FillSegments(const listrecord& record);
    // One row a piece, at `rate`, with the note where its cut moved.
    void FillPieces(const std::vector<PiecePlan::Piece>& pieces, std::int32_t rate);

private:
    const AppState& state_;
    ReportListModel& lvTime_;
};
