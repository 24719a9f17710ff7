#pragma once

#include "engine/PiecePlan.h"
#include "engine/RunOutcome.h"
#include "engine/RunRows.h"

#include <cstdint>
#include <vector>

class ReportListModel;
struct AppState;
struct listrecord;

// The rows of the segment list `lv_time`, filled the same way by the segment
// editor and during runs: a record's own segments (the last one is the
// working segment), or the planned pieces of a file, each from the frames it
// is cut at. During a run it shows what the run tells its host: the rows of
// the file being cut, "Converting" on the rows being written, the finished
// statuses and how each piece was made.
class SegmentList {
public:
    // The columns of a piece's range, its status and its title.
    static constexpr int RangeColumn = 0;
    static constexpr int StatusColumn = 2;
    static constexpr int TitleColumn = 3;

    SegmentList(AppState& state, ReportListModel& lvTime);

    void FillSegments(const listrecord& record);
    // One row a piece, at `rate`, with the note where its cut moved.
    void FillPieces(const std::vector<PiecePlan::Piece>& pieces, std::int32_t rate);

    // The rows a run cuts a file into.
    void ShowRunRows(const RunRows& rows);
    // A piece began: its row shows "Converting" and `note`.
    void PieceStarted(int row, const QString& note);
    // A split piece ended: written, its row shows "Finish" and how it was
    // made; left out, the row goes back to what it showed; failed, it shows
    // "Converting" until Stop.
    void PieceEnded(const RunOutcome::Piece& piece);
    // A join's row being read, and read.
    void JoinRowStarted(int row);
    void JoinRowEnded(int row);
    // The run was stopped or given up: rows still "Converting" go back.
    void RunStopped();

private:
    // A row being written shows "Converting"; the status it showed before
    // is kept, for the row to go back to when its piece is not kept.
    void markConverting(int row);
    void markFinished(int row);
    void restoreStatus(int row);

    AppState& state_;
    ReportListModel& lvTime_;
};
