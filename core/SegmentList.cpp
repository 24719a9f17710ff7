#include "core/SegmentList.h"

#include "core/AppState.h"
#include "core/ReportListModel.h"
#include "core/Segments.h"

SegmentList::SegmentList(const AppState& state, ReportListModel& lvTime)
    : state_(state), lvTime_(lvTime) {}

void SegmentList::FillSegments(const listrecord& record) {
    lvTime_.clear();
    listrecord copy = record;
    Segments::Normalise(copy);
    for (std::int32_t j = 0; j < copy.SegmentCount; ++j) {
        const bool working = j == copy.SegmentCount - 1;
        lvTime_.append(Segments::SegmentRow(
            copy.BeginTimes[static_cast<size_t>(j)], copy.EndTimes[static_cast<size_t>(j)],
            working ? SegmentStatus::Uncertain : SegmentStatus::Confirmed));
    }
}

void SegmentList::FillTimePieces(std::int32_t duration) {
    lvTime_.clear();
    for (const Segments::Piece& piece : Segments::TimePieces(duration, state_.SplitSeconds))
        lvTime_.append(Segments::SegmentRow(piece.begin, piece.end, SegmentStatus::Unconvert));
}

void SegmentList::FillCountPieces(std::int32_t duration) {
    lvTime_.clear();
    for (const Segments::Piece& piece : Segments::CountPieces(duration, state_.SplitCount))
        lvTime_.append(Segments::SegmentRow(piece.begin, piece.end, SegmentStatus::Unconvert));
}
