#include "engine/SegmentList.h"

#include "core/AppState.h"
#include "core/ReportListModel.h"
#include "core/Segments.h"

SegmentList::SegmentList(const AppState& state, ReportListModel& lvTime)
    : state_(state), lvTime_(lvTime) {}

void SegmentList::FillSegments(const listrecord& record) {
    listrecord copy = record;
    Segments::Normalise(copy);
    // Marked pieces stand for all confirmed segments, at their exact frames.
    const auto pieces = static_cast<std::int32_t>(copy.Pieces.size());
    std::vector<QStringList> rows;
    std::vector<QString> notes;
    for (std::int32_t j = 0; j < copy.SegmentCount; ++j) {
        const bool working = j == copy.SegmentCount - 1;
        if (!working && j < pieces) {
            const TitledPiece& piece = copy.Pieces[static_cast<size_t>(j)];
            QStringList row = Segments::SegmentRowMs(
                PiecePlan::Milliseconds(piece.begin, copy.SampleRate),
                PiecePlan::Milliseconds(piece.end, copy.SampleRate), SegmentStatus::Confirmed);
            row << piece.tags.title;
            rows.push_back(row);
            // The title column lies past the list's width; the tooltip
            // names the piece wherever the pointer is.
            notes.push_back(piece.tags.title);
            continue;
        }
        rows.push_back(Segments::SegmentRow(
            copy.BeginTimes[static_cast<size_t>(j)], copy.EndTimes[static_cast<size_t>(j)],
            working ? SegmentStatus::Uncertain : SegmentStatus::Confirmed));
        notes.emplace_back();
    }
    // In place: a row typed into keeps its editor until the edit is done.
    lvTime_.assign(std::move(rows), std::move(notes));
}

void SegmentList::FillPieces(const std::vector<PiecePlan::Piece>& pieces, std::int32_t rate) {
    lvTime_.clear();
    for (const PiecePlan::Piece& piece : pieces) {
        QStringList texts = Segments::SegmentRowMs(PiecePlan::Milliseconds(piece.begin, rate),
                                                   PiecePlan::Milliseconds(piece.end, rate),
                                                   SegmentStatus::Unconvert);
        if (!piece.title.isEmpty())
            texts << piece.title;
        const int row = lvTime_.append(texts);
        if (!piece.cutNote.isEmpty())
            lvTime_.setNote(row, piece.cutNote);
    }
}
