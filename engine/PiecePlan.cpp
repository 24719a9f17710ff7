#include "engine/PiecePlan.h"

#include "core/AppState.h"
#include "core/FramePosition.h"
#include "core/RecordPieces.h"
#include "core/Segments.h"
#include "core/TitledPiece.h"
#include "core/listrecord.h"
#include "engine/RunOptions.h"

#include <algorithm>

namespace {

using Piece = PiecePlan::Piece;
using Source = PiecePlan::Source;

// A range of whole seconds in frames: one that reaches the length as lists
// show it runs on to the last frame, unless `toEnd` is off.
Piece ofSeconds(const Source& source, int row, std::int32_t begin, std::int32_t end,
                bool toEnd = true) {
    Piece piece;
    piece.row = row;
    piece.begin = FramePosition::OfSeconds(begin, source.rate, source.frames);
    piece.end = toEnd && begin < end && end >= source.seconds
                    ? std::max<std::int64_t>(source.frames, 0)
                    : FramePosition::OfSeconds(end, source.rate, source.frames);
    if (!piece.written())
        piece.leftOut = PiecePlan::NoLength;
    return piece;
}

// How much of a custom piece of `length` frames its blocks write: after a
// block, fewer than CustomTail frames left are not read any more. Blocks
// are a second of samples; the fade-in is a block of its own, and blocks
// stop where the fade-out begins, which is one block to the end.
std::int64_t customWritten(std::int64_t length, std::int64_t block, const PiecePlan::Fades& fades) {
    if (block <= 0)
        return length;
    std::int64_t done = 0;
    while (done < length) {
        const std::int64_t left = length - done;
        const bool fadeIn = fades.in > 0 && done == 0;
        std::int64_t n = fadeIn ? std::min(fades.in, left) : std::min(left, block);
        if (fades.out > 0 && fades.out >= left)
            n = left;
        else if (fades.out > 0 && !fadeIn)
            n = std::min(n, left - fades.out);
        done += n;
        if (length - done < PiecePlan::CustomTail)
            break;
    }
    return done;
}

std::vector<Piece> ofSilencePieces(const Source& source, const std::vector<SilencePiece>& found,
                                   std::int64_t windowMs) {
    const std::int64_t durationMs = source.durationMs();
    std::vector<Piece> pieces;
    for (const SilencePiece& p : found) {
        Piece piece;
        piece.row = static_cast<int>(pieces.size());
        piece.begin = FramePosition::OfMilliseconds(p.beginMs, source.rate, source.frames);
        piece.end = p.beginMs < p.endMs && p.endMs >= durationMs
                        ? std::max<std::int64_t>(source.frames, 0)
                        : FramePosition::OfMilliseconds(p.endMs, source.rate, source.frames);
        piece.cutNote = SilenceFinder::CutNote(p, windowMs);
        if (!piece.written())
            piece.leftOut = PiecePlan::NoLength;
        pieces.push_back(std::move(piece));
    }
    return pieces;
}

} // namespace

PiecePlan::Source PiecePlan::Source::Of(const listrecord& record, std::int32_t channels) {
    return {record.SampleRate, record.SampleCount, record.Duration, channels};
}

std::int64_t PiecePlan::Source::durationMs() const {
    if (rate <= 0 || frames <= 0)
        return 0;
    return frames / rate * 1000 + frames % rate * 1000 / rate;
}

PiecePlan::Fades PiecePlan::Fades::Of(const AppState& state, std::int32_t rate) {
    return {state.FadeIn ? FramePosition::Frames(state.FadeInSeconds, rate) : 0,
            state.FadeOut ? FramePosition::Frames(state.FadeOutSeconds, rate) : 0};
}

PiecePlan::Fades PiecePlan::Fades::Of(const RunOptions& options, std::int32_t rate) {
    return {options.fadeIn ? FramePosition::Frames(options.fadeInSeconds, rate) : 0,
            options.fadeOut ? FramePosition::Frames(options.fadeOutSeconds, rate) : 0};
}

std::vector<PiecePlan::Piece> PiecePlan::Of(const AppState& state, int file, const Source& source,
                                            const std::vector<Silence>& silences) {
    const bool known = file >= 0 && file < static_cast<int>(state.JobList.size());
    switch (state.FunctionChoice) {
    case FunctionSplitByTime:
        if (state.SnapToSilence)
            return TimeAtSilences(source, silences,
                                  std::int64_t{std::max(state.SplitSeconds, 1)} * 1000,
                                  std::int64_t{state.SnapSeconds} * 1000);
        return Time(source, state.SplitSeconds);
    case FunctionSplitByCount:
        return Count(source, state.SplitCount);
    case FunctionSplitAtSilences:
        return AtSilences(source, silences, std::int64_t{state.SilenceMinimumPiece} * 1000);
    case FunctionUnification: {
        if (!known)
            return {};
        listrecord shared = state.JobList.front();
        Segments::Normalise(shared);
        return Unified(source, shared, CutSegments(shared));
    }
    default: {
        if (!known)
            return {};
        listrecord record = state.JobList[static_cast<size_t>(file)];
        if (!record.Pieces.empty())
            return Titled(source, record.Pieces);
        Segments::Normalise(record);
        return Custom(source, record, CutSegments(record), Fades::Of(state, source.rate));
    }
    }
}

std::vector<PiecePlan::Piece> PiecePlan::Custom(const Source& source, const listrecord& record,
                                                int count, const Fades& fades) {
    const std::int64_t block = std::int64_t{source.rate} * source.channels;
    std::vector<Piece> pieces;
    for (size_t k = 0; k < static_cast<size_t>(std::max(count, 0)) &&
                       k < record.BeginTimes.size() && k < record.EndTimes.size();
         ++k) {
        Piece piece =
            ofSeconds(source, static_cast<int>(k), record.BeginTimes[k], record.EndTimes[k]);
        if (piece.written())
            piece.end = piece.begin + customWritten(piece.end - piece.begin, block, fades);
        pieces.push_back(std::move(piece));
    }
    return pieces;
}

std::vector<PiecePlan::Piece> PiecePlan::Titled(const Source& source,
                                                const std::vector<TitledPiece>& marked) {
    const std::int64_t last = std::max<std::int64_t>(source.frames, 0);
    std::vector<Piece> pieces;
    for (const TitledPiece& m : marked) {
        Piece piece;
        piece.row = static_cast<int>(pieces.size());
        piece.begin = std::clamp<std::int64_t>(m.begin, 0, last);
        piece.end = std::clamp<std::int64_t>(m.end, piece.begin, last);
        piece.title = m.tags.title;
        if (!piece.written())
            piece.leftOut = NoLength;
        pieces.push_back(std::move(piece));
    }
    return pieces;
}

std::vector<PiecePlan::Piece> PiecePlan::Unified(const Source& source, const listrecord& shared,
                                                 int count) {
    std::vector<Piece> pieces;
    bool past = false;
    for (size_t k = 0; k < static_cast<size_t>(std::max(count, 0)) &&
                       k < shared.BeginTimes.size() && k < shared.EndTimes.size();
         ++k) {
        const std::int32_t begin = shared.BeginTimes[k];
        if (k < shared.Pieces.size()) {
            // Marked pieces keep their exact times in every file.
            const TitledPiece marked =
                RecordPieces::At(shared, k, source.rate, std::max<std::int64_t>(source.frames, 0));
            past = past || shared.Pieces[k].begin * source.rate >
                               std::int64_t{std::max(shared.SampleRate, 1)} * source.frames;
            Piece piece;
            piece.row = static_cast<int>(k);
            piece.begin = marked.begin;
            piece.end = past ? marked.begin : marked.end;
            piece.title = marked.tags.title;
            if (!piece.written())
                piece.leftOut = past ? PastEnd : NoLength;
            pieces.push_back(std::move(piece));
            continue;
        }
        past = past || source.seconds < begin;
        if (past) {
            Piece piece;
            piece.row = static_cast<int>(k);
            piece.begin = piece.end = std::max<std::int64_t>(source.frames, 0);
            piece.leftOut = PastEnd;
            pieces.push_back(std::move(piece));
            continue;
        }
        pieces.push_back(ofSeconds(source, static_cast<int>(k), begin,
                                   std::min(source.seconds, shared.EndTimes[k])));
    }
    return pieces;
}

std::vector<PiecePlan::Piece> PiecePlan::Time(const Source& source, std::int32_t seconds) {
    std::vector<Piece> pieces;
    for (const Segments::Piece& p : Segments::TimePieces(source.seconds, seconds))
        pieces.push_back(ofSeconds(source, static_cast<int>(pieces.size()), p.begin, p.end));
    return pieces;
}

std::vector<PiecePlan::Piece> PiecePlan::Count(const Source& source, std::int32_t count) {
    std::vector<Piece> pieces;
    for (const Segments::Piece& p : Segments::CountPieces(source.seconds, count))
        pieces.push_back(ofSeconds(source, static_cast<int>(pieces.size()), p.begin, p.end, false));
    return pieces;
}

std::vector<PiecePlan::Piece> PiecePlan::AtSilences(const Source& source,
                                                    const std::vector<Silence>& silences,
                                                    std::int64_t minPieceMs) {
    return ofSilencePieces(
        source, SilenceFinder::SplitAtSilences(silences, source.durationMs(), minPieceMs), 0);
}

std::vector<PiecePlan::Piece> PiecePlan::TimeAtSilences(const Source& source,
                                                        const std::vector<Silence>& silences,
                                                        std::int64_t pieceMs,
                                                        std::int64_t windowMs) {
    return ofSilencePieces(
        source, SilenceFinder::SplitByTime(silences, source.durationMs(), pieceMs, windowMs),
        windowMs);
}

int PiecePlan::CutSegments(const listrecord& record) {
    listrecord copy = record;
    Segments::Normalise(copy);
    return copy.SegmentCount == 1 ? 1 : copy.SegmentCount - 1;
}

bool PiecePlan::NeedsSilences(const AppState& state) {
    return state.FunctionChoice == FunctionSplitAtSilences ||
           (state.FunctionChoice == FunctionSplitByTime && state.SnapToSilence);
}

std::int64_t PiecePlan::Milliseconds(std::int64_t frame, std::int32_t rate) {
    return rate > 0 ? frame / rate * 1000 + frame % rate * 1000 / rate : 0;
}
