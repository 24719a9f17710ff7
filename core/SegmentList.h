#pragma once

#include <cstdint>

class ReportListModel;
struct AppState;
struct listrecord;

// The rows of the segment list `lv_time`, filled the same way by the segment
// editor and the runs: a record's own segments (the last one is the working
// segment), or the computed pieces of a file of `duration` seconds under the
// current split settings.
class SegmentList {
public:
    SegmentList(const AppState& state, ReportListModel& lvTime);

    void FillSegments(const listrecord& record);
    void FillTimePieces(std::int32_t duration);
    void FillCountPieces(std::int32_t duration);

private:
    const AppState& state_;
    ReportListModel& lvTime_;
};
