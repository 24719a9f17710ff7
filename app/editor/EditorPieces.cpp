#include "app/editor/EditorPieces.h"

#include "core/AppState.h"
#include "core/RecordPieces.h"
#include "core/Segments.h"
#include "core/listrecord.h"
#include "engine/PiecePlan.h"

#include <algorithm>

namespace {

// Pieces cut by length, count or silences, not segments marked by the user.
bool splitFunction(const AppState& state) {
    return !PiecePlan::CutsSegments(PiecePlan::ModeIn(state));
}

} // namespace

listrecord* EditorPieces::record() const {
    if (file_ < 0 || static_cast<size_t>(file_) >= state_.JobList.size())
        return nullptr;
    return PiecePlan::SharesSegments(PiecePlan::ModeIn(state_))
               ? &state_.JobList.front()
               : &state_.JobList[static_cast<size_t>(file_)];
}

std::int64_t EditorPieces::frames() const {
    return file_ < 0 || static_cast<size_t>(file_) >= state_.JobList.size()
               ? 0
               : state_.JobList[static_cast<size_t>(file_)].SampleCount;
}

std::int32_t EditorPieces::rate() const {
    return file_ < 0 || static_cast<size_t>(file_) >= state_.JobList.size()
               ? 0
               : state_.JobList[static_cast<size_t>(file_)].SampleRate;
}

QString EditorPieces::path() const {
    return file_ < 0 || static_cast<size_t>(file_) >= state_.JobList.size()
               ? QString()
               : state_.JobList[static_cast<size_t>(file_)].FileName;
}

std::int64_t EditorPieces::toShown(std::int64_t frame) const {
    const listrecord* r = record();
    if (!r || r->SampleRate <= 0 || r->SampleRate == rate() || rate() <= 0)
        return frame;
    return frame * rate() / r->SampleRate;
}

std::int64_t EditorPieces::toRecord(std::int64_t frame) const {
    const listrecord* r = record();
    if (!r || r->SampleRate <= 0 || r->SampleRate == rate() || rate() <= 0)
        return frame;
    return frame * r->SampleRate / rate();
}

bool EditorPieces::editable() const {
    return record() && !splitFunction(state_) && !state_.Busy;
}

std::vector<EditorPieces::Region>
EditorPieces::regions(const std::vector<Silence>& silences) const {
    std::vector<Region> out;
    const listrecord* r = record();
    if (!r)
        return out;
    if (splitFunction(state_)) {
        const listrecord& shown = state_.JobList[static_cast<size_t>(file_)];
        const auto plan = PiecePlan::Of(state_, file_, PiecePlan::Source::Of(shown), silences);
        for (const PiecePlan::Piece& p : plan)
            out.push_back({p.begin, p.end, p.row + 1, p.title});
        return out;
    }
    listrecord normal = *r;
    Segments::Normalise(normal);
    const std::vector<TitledPiece> pieces =
        normal.Pieces.empty() ? RecordPieces::Marked(normal) : normal.Pieces;
    for (size_t k = 0; k < pieces.size(); ++k) {
        const TitledPiece& p = pieces[k];
        out.push_back({toShown(p.begin), toShown(p.end),
                       p.tags.track > 0 ? p.tags.track : static_cast<int>(k) + 1, p.tags.title,
                       p.tags.artist});
    }
    return out;
}

bool EditorPieces::setRange(int row, std::int64_t begin, std::int64_t end) {
    listrecord* r = editable() ? record() : nullptr;
    if (!r)
        return false;
    Segments::Normalise(*r);
    return RecordPieces::SetRange(*r, row, toRecord(begin), toRecord(end));
}

int EditorPieces::add(std::int64_t begin, std::int64_t end) {
    listrecord* r = editable() ? record() : nullptr;
    if (!r)
        return -1;
    Segments::Normalise(*r);
    return RecordPieces::Insert(*r, toRecord(begin), toRecord(end));
}

bool EditorPieces::remove(int row) {
    listrecord* r = editable() ? record() : nullptr;
    if (!r)
        return false;
    Segments::Normalise(*r);
    if (row < 0 || row >= static_cast<int>(regions().size()))
        return false;
    if (r->Pieces.empty()) {
        // Whole-second segments go as the segment list removes them, when
        // every one of them is shown.
        if (static_cast<int>(RecordPieces::Marked(*r).size()) != r->SegmentCount - 1)
            return false;
        r->BeginTimes.erase(r->BeginTimes.begin() + row);
        r->EndTimes.erase(r->EndTimes.begin() + row);
        r->SegmentCount -= 1;
        return true;
    }
    RecordPieces::Remove(*r, row);
    return true;
}

bool EditorPieces::rename(int row, const QString& title) {
    listrecord* r = editable() ? record() : nullptr;
    if (!r)
        return false;
    Segments::Normalise(*r);
    return RecordPieces::SetTitle(*r, row, title);
}

bool EditorPieces::setArtist(int row, const QString& artist) {
    listrecord* r = editable() ? record() : nullptr;
    if (!r)
        return false;
    Segments::Normalise(*r);
    return RecordPieces::SetArtist(*r, row, artist);
}

std::int64_t EditorPieces::MovedBegin(const std::vector<Region>& regions, int row,
                                      std::int64_t begin, std::int64_t frames) {
    const Region& r = regions[static_cast<size_t>(row)];
    const std::int64_t length = r.end - r.begin;
    // Pieces already overlapping a neighbour may stay where they are.
    std::int64_t lowest = 0;
    std::int64_t highest = std::max<std::int64_t>(frames - length, r.begin);
    if (row > 0)
        lowest = std::min(r.begin, std::max(lowest, regions[static_cast<size_t>(row) - 1].end));
    if (static_cast<size_t>(row) + 1 < regions.size())
        highest = std::max(r.begin,
                           std::min(highest, regions[static_cast<size_t>(row) + 1].begin - length));
    return std::clamp(begin, lowest, std::max(lowest, highest));
}

bool EditorPieces::move(int row, std::int64_t begin) {
    const std::vector<Region> shown = regions();
    if (!editable() || row < 0 || row >= static_cast<int>(shown.size()))
        return false;
    const std::int64_t to = MovedBegin(shown, row, begin, frames());
    const Region& r = shown[static_cast<size_t>(row)];
    if (to == r.begin)
        return false;
    return setRange(row, to, to + (r.end - r.begin));
}

bool EditorPieces::showsPlan() const {
    return record() && splitFunction(state_);
}

bool EditorPieces::adoptPlan(const std::vector<Silence>& silences) {
    if (!showsPlan() || state_.Busy)
        return false;
    listrecord& shown = state_.JobList[static_cast<size_t>(file_)];
    const auto plan = PiecePlan::Of(state_, file_, PiecePlan::Source::Of(shown), silences);
    std::vector<TitledPiece> pieces;
    for (const PiecePlan::Piece& p : plan) {
        // What the run would leave out (a last piece of no length) stays out.
        if (!p.written() || !p.leftOut.isEmpty())
            continue;
        TitledPiece piece;
        piece.begin = p.begin;
        piece.end = p.end;
        piece.tags.title = p.title;
        pieces.push_back(piece);
    }
    if (pieces.empty())
        return false;
    Segments::Normalise(shown);
    // An imported sheet's album and performer still tag the pieces.
    const PieceTags sheet = shown.Sheet;
    RecordPieces::Adopt(shown, std::move(pieces), sheet);
    state_.FunctionChoice = FunctionCustom;
    return true;
}
