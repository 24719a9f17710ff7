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
