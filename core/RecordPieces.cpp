#include "core/RecordPieces.h"

#include "core/FramePosition.h"
#include "core/listrecord.h"

#include <algorithm>

std::vector<TitledPiece> RecordPieces::Marked(const listrecord& record) {
    std::vector<TitledPiece> pieces;
    const auto confirmed = static_cast<size_t>(std::max(record.SegmentCount - 1, 0));
    for (size_t i = 0; i < confirmed && i < record.BeginTimes.size() && i < record.EndTimes.size();
         ++i) {
        TitledPiece piece;
        piece.begin =
            FramePosition::OfSeconds(record.BeginTimes[i], record.SampleRate, record.SampleCount);
        piece.end = FramePosition::EndOfSeconds(record.EndTimes[i], record.Duration,
                                                record.SampleRate, record.SampleCount);
        if (piece.begin < piece.end)
            pieces.push_back(piece);
    }
    return pieces;
}

void RecordPieces::SetMarked(listrecord& record, const std::vector<TitledPiece>& pieces) {
    const std::int64_t rate = std::max(record.SampleRate, 1);
    record.BeginTimes.clear();
    record.EndTimes.clear();
    for (const TitledPiece& piece : pieces) {
        const auto begin = static_cast<std::int32_t>(
            std::clamp<std::int64_t>(piece.begin / rate, 0, record.Duration));
        const auto end = piece.end >= record.SampleCount
                             ? record.Duration
                             : static_cast<std::int32_t>(std::clamp<std::int64_t>(
                                   (piece.end + rate - 1) / rate, begin, record.Duration));
        record.BeginTimes.push_back(begin);
        record.EndTimes.push_back(end);
    }
    record.BeginTimes.push_back(0);
    record.EndTimes.push_back(record.Duration);
    record.SegmentCount = static_cast<std::int32_t>(record.BeginTimes.size());
}

void RecordPieces::Number(std::vector<TitledPiece>& pieces) {
    const int count = static_cast<int>(pieces.size());
    for (int i = 0; i < count; ++i) {
        pieces[static_cast<size_t>(i)].tags.track = i + 1;
        pieces[static_cast<size_t>(i)].tags.tracks = count;
    }
}

void RecordPieces::Adopt(listrecord& record, std::vector<TitledPiece> pieces,
                         const PieceTags& sheet) {
    record.Pieces = std::move(pieces);
    record.Sheet = sheet;
    SetMarked(record, record.Pieces);
}

void RecordPieces::ConfirmWorking(listrecord& record) {
    const auto last = static_cast<size_t>(std::max(record.SegmentCount - 1, 0));
    if (last >= record.BeginTimes.size() || last >= record.EndTimes.size())
        return;
    TitledPiece piece;
    piece.begin =
        FramePosition::OfSeconds(record.BeginTimes[last], record.SampleRate, record.SampleCount);
    piece.end = FramePosition::EndOfSeconds(record.EndTimes[last], record.Duration,
                                            record.SampleRate, record.SampleCount);
    // Numbered after the last, so the sheet's own numbers stay; pieces
    // marked by hand have no numbers of their own (see Numbered).
    const bool numbered = std::any_of(record.Pieces.begin(), record.Pieces.end(),
                                      [](const TitledPiece& p) { return p.tags.track > 0; });
    if (numbered) {
        int number = 1;
        for (const TitledPiece& p : record.Pieces)
            number = std::max(number, p.tags.track + 1);
        piece.tags.track = number;
        piece.tags.tracks = number;
        for (TitledPiece& p : record.Pieces)
            p.tags.tracks = std::max(p.tags.tracks, number);
    }
    record.Pieces.push_back(piece);
    SetMarked(record, record.Pieces);
}

void RecordPieces::Remove(listrecord& record, int row) {
    if (row < 0 || row >= static_cast<int>(record.Pieces.size()))
        return;
    // The working segment stays as the user marked it.
    const auto last = static_cast<size_t>(std::max(record.SegmentCount - 1, 0));
    const std::int32_t begin = last < record.BeginTimes.size() ? record.BeginTimes[last] : 0;
    const std::int32_t end =
        last < record.EndTimes.size() ? record.EndTimes[last] : record.Duration;
    // The others keep their numbers: track 3 of a CD stays track 3.
    record.Pieces.erase(record.Pieces.begin() + row);
    if (record.Pieces.empty())
        record.Sheet = {};
    SetMarked(record, record.Pieces);
    record.BeginTimes.back() = begin;
    record.EndTimes.back() = end;
}

namespace {

// A record's confirmed segments as pieces, for an edit of row `row`; false
// when there is no such row to edit.
bool asPieces(listrecord& record, int row) {
    if (record.Pieces.empty()) {
        if (row < 0 || row >= record.SegmentCount - 1)
            return false;
        auto marked = RecordPieces::Marked(record);
        // A segment with no frames in it has no piece to carry the edit.
        if (static_cast<int>(marked.size()) != std::max(record.SegmentCount - 1, 0))
            return false;
        // Not numbered: a piece marked by hand takes its number from its
        // place (see Numbered), so untitled ones stay unnumbered and a
        // removed row leaves no gap.
        record.Pieces = std::move(marked);
    }
    return row >= 0 && row < static_cast<int>(record.Pieces.size());
}

} // namespace

bool RecordPieces::SetTitle(listrecord& record, int row, const QString& title) {
    if (!asPieces(record, row))
        return false;
    record.Pieces[static_cast<size_t>(row)].tags.title = title.trimmed();
    return true;
}

bool RecordPieces::SetArtist(listrecord& record, int row, const QString& artist) {
    if (!asPieces(record, row))
        return false;
    record.Pieces[static_cast<size_t>(row)].tags.artist = artist.trimmed();
    return true;
}

bool RecordPieces::SetRange(listrecord& record, int row, std::int64_t begin, std::int64_t end) {
    const std::int64_t last = std::max<std::int64_t>(record.SampleCount, 0);
    begin = std::clamp<std::int64_t>(begin, 0, last);
    end = std::clamp<std::int64_t>(end, 0, last);
    if (end <= begin || !asPieces(record, row))
        return false;
    const auto working = static_cast<size_t>(std::max(record.SegmentCount - 1, 0));
    const std::int32_t workBegin =
        working < record.BeginTimes.size() ? record.BeginTimes[working] : 0;
    const std::int32_t workEnd =
        working < record.EndTimes.size() ? record.EndTimes[working] : record.Duration;
    TitledPiece& piece = record.Pieces[static_cast<size_t>(row)];
    piece.begin = begin;
    piece.end = end;
    SetMarked(record, record.Pieces);
    record.BeginTimes.back() = workBegin;
    record.EndTimes.back() = workEnd;
    return true;
}

TitledPiece RecordPieces::Numbered(const listrecord& record, size_t k) {
    TitledPiece piece = k < record.Pieces.size() ? record.Pieces[k] : TitledPiece();
    if (piece.tags.track == 0 && piece.tags.tracks == 0 && !piece.tags.title.isEmpty()) {
        piece.tags.track = static_cast<int>(k) + 1;
        piece.tags.tracks = static_cast<int>(record.Pieces.size());
    }
    return piece;
}

int RecordPieces::Insert(listrecord& record, std::int64_t begin, std::int64_t end) {
    const std::int64_t last = std::max<std::int64_t>(record.SampleCount, 0);
    begin = std::clamp<std::int64_t>(begin, 0, last);
    end = std::clamp<std::int64_t>(end, 0, last);
    if (end <= begin)
        return -1;
    const auto working = static_cast<size_t>(std::max(record.SegmentCount - 1, 0));
    const std::int32_t workBegin =
        working < record.BeginTimes.size() ? record.BeginTimes[working] : 0;
    const std::int32_t workEnd =
        working < record.EndTimes.size() ? record.EndTimes[working] : record.Duration;
    if (record.Pieces.empty()) {
        // Segments without frames have nothing to cut and are left out; the
        // rest stay hand-marked, numbered by their place when titled.
        record.Pieces = Marked(record);
    }
    const auto at = std::find_if(record.Pieces.begin(), record.Pieces.end(),
                                 [&](const TitledPiece& p) { return p.begin > begin; });
    const int row = static_cast<int>(at - record.Pieces.begin());
    TitledPiece piece;
    piece.begin = begin;
    piece.end = end;
    // The others keep their numbers, so a sheet's track 3 stays track 3.
    int next = 0;
    for (const TitledPiece& p : record.Pieces)
        next = std::max(next, p.tags.track);
    if (next > 0 && at == record.Pieces.end()) {
        piece.tags.track = next + 1;
        piece.tags.tracks = next + 1;
        for (TitledPiece& p : record.Pieces)
            p.tags.tracks = std::max(p.tags.tracks, next + 1);
    }
    record.Pieces.insert(at, piece);
    SetMarked(record, record.Pieces);
    record.BeginTimes.back() = workBegin;
    record.EndTimes.back() = workEnd;
    return row;
}

TitledPiece RecordPieces::At(const listrecord& marked, size_t k, std::int32_t rate,
                             std::int64_t frames) {
    TitledPiece piece = k < marked.Pieces.size() ? marked.Pieces[k] : TitledPiece();
    const auto at = [&](std::int64_t frame) {
        const std::int64_t own = marked.SampleRate == rate || marked.SampleRate <= 0
                                     ? frame
                                     : frame * rate / marked.SampleRate;
        return std::clamp<std::int64_t>(own, 0, std::max<std::int64_t>(frames, 0));
    };
    piece.begin = at(piece.begin);
    piece.end = std::max(at(piece.end), piece.begin);
    return piece;
}
