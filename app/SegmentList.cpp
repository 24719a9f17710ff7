#include "app/SegmentList.h"

#include "core/AppState.h"
#include "core/FramePosition.h"
#include "core/ReportListModel.h"
#include "core/Segments.h"

SegmentList::SegmentList(AppState& state, ReportListModel& lvTime)
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
                FramePosition::Milliseconds(piece.begin, copy.SampleRate),
                FramePosition::Milliseconds(piece.end, copy.SampleRate), SegmentStatus::Confirmed);
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
        QStringList texts = Segments::SegmentRowMs(FramePosition::Milliseconds(piece.begin, rate),
                                                   FramePosition::Milliseconds(piece.end, rate),
                                                   SegmentStatus::Unconvert);
        if (!piece.title.isEmpty())
            texts << piece.title;
        const int row = lvTime_.append(texts);
        if (!piece.cutNote.isEmpty())
            lvTime_.setNote(row, piece.cutNote);
    }
}

void SegmentList::ShowRunRows(const RunRows& rows) {
    switch (rows.kind) {
    case RunRows::Kind::Segments: {
        FillSegments(rows.record);
        // The working-row step: a single row is the segment to cut; otherwise
        // the last row, the unconfirmed working segment, is not cut.
        if (RunRows::CutSegments(rows.record).removed)
            lvTime_.remove(lvTime_.count() - 1);
        else if (lvTime_.count() == 1)
            lvTime_.setText(0, StatusColumn, SegmentStatus::Confirmed);
        break;
    }
    case RunRows::Kind::Pieces:
        FillPieces(rows.pieces, rows.rate);
        break;
    case RunRows::Kind::Whole:
        lvTime_.clear();
        lvTime_.append(Segments::SegmentRow(0, rows.record.Duration, SegmentStatus::Converting));
        break;
    }
}

void SegmentList::PieceStarted(int row, const QString& note) {
    if (row < 0 || row >= lvTime_.count())
        return;
    lvTime_.setNote(row, note);
    markConverting(row);
}

void SegmentList::PieceEnded(const RunOutcome::Piece& piece) {
    const int row = piece.row;
    if (row < 0 || row >= lvTime_.count())
        return;
    switch (piece.status) {
    case RunOutcome::Status::Written:
        markFinished(row);
        lvTime_.setNote(row, piece.cut.isEmpty() || piece.note.isEmpty()
                                 ? piece.cut + piece.note
                                 : piece.cut + QLatin1Char('\n') + piece.note);
        break;
    case RunOutcome::Status::LeftOut:
        restoreStatus(row);
        break;
    case RunOutcome::Status::Failed:
        // Shown as being written until Stop gives the run up.
    case RunOutcome::Status::Planned:
        break;
    }
}

void SegmentList::JoinRowStarted(int row) {
    if (row >= 0 && row < lvTime_.count())
        markConverting(row);
}

void SegmentList::JoinRowEnded(int row) {
    if (row >= 0 && row < lvTime_.count())
        markFinished(row);
}

void SegmentList::RunStopped() {
    for (const auto& [row, status] : state_.ConvertingRows)
        if (row < lvTime_.count() && lvTime_.text(row, StatusColumn) == SegmentStatus::Converting)
            lvTime_.setText(row, StatusColumn, status);
    state_.ConvertingRows.clear();
    // Rows a run made itself (a whole join's) had no status before.
    for (int row = 0; row < lvTime_.count(); ++row)
        if (lvTime_.text(row, StatusColumn) == SegmentStatus::Converting)
            lvTime_.setText(row, StatusColumn, SegmentStatus::Unconvert);
}

void SegmentList::markConverting(int row) {
    const QString before = lvTime_.text(row, StatusColumn);
    if (before != SegmentStatus::Converting)
        state_.ConvertingRows[row] = before;
    lvTime_.setText(row, StatusColumn, SegmentStatus::Converting);
}

void SegmentList::markFinished(int row) {
    state_.ConvertingRows.erase(row);
    lvTime_.setText(row, StatusColumn, SegmentStatus::Finish);
}

void SegmentList::restoreStatus(int row) {
    const auto found = state_.ConvertingRows.find(row);
    if (found == state_.ConvertingRows.end())
        return;
    lvTime_.setText(row, StatusColumn, found->second);
    state_.ConvertingRows.erase(found);
}
