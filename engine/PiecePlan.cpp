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
    return frames > 0 ? FramePosition::Milliseconds(frames, rate) : 0;
}

PiecePlan::Choices PiecePlan::Choices::Of(const AppState& state) {
    return {state.SplitSeconds, state.SplitCount,          state.SnapToSilence,
            state.SnapSeconds,  state.SilenceMinimumPiece, state.FadeIn,
            state.FadeOut,      state.FadeInSeconds,       state.FadeOutSeconds};
}

PiecePlan::Function PiecePlan::Function::Of(const AppState& state) {
    return {Choices::Of(state), ModeIn(state)};
}

PiecePlan::Function PiecePlan::Function::Of(Mode mode, const RunOptions& options) {
    return {options.cut, mode};
}

std::optional<PiecePlan::Mode> PiecePlan::ModeOf(std::int32_t functionChoice) {
    switch (functionChoice) {
    case FunctionCustom:
        return Mode::Custom;
    case FunctionSplitByTime:
        return Mode::Time;
    case FunctionSplitByCount:
        return Mode::Count;
    case FunctionUnification:
        return Mode::Unified;
    case FunctionSplitAtSilences:
        return Mode::Silence;
    default:
        return std::nullopt;
    }
}

PiecePlan::Mode PiecePlan::ModeIn(const AppState& state) {
    return ModeOf(state.FunctionChoice).value_or(Mode::Custom);
}

PiecePlan::Fades PiecePlan::Fades::Of(const Function& function, std::int32_t rate) {
    return {function.fadeIn ? FramePosition::Frames(function.fadeInSeconds, rate) : 0,
            function.fadeOut ? FramePosition::Frames(function.fadeOutSeconds, rate) : 0};
}

std::vector<PiecePlan::Piece> PiecePlan::Of(const Function& function,
                                            const std::vector<listrecord>& jobs, int file,
                                            const Source& source,
                                            const std::vector<Silence>& silences) {
    const bool known = file >= 0 && file < static_cast<int>(jobs.size());
    switch (function.mode) {
    case Mode::Time:
        if (function.snapToSilence)
            return TimeAtSilences(source, silences,
                                  std::int64_t{std::max(function.splitSeconds, 1)} * 1000,
                                  std::int64_t{function.snapSeconds} * 1000);
        return Time(source, function.splitSeconds);
    case Mode::Count:
        return Count(source, function.splitCount);
    case Mode::Silence:
        return AtSilences(source, silences, std::int64_t{function.silenceMinimumPiece} * 1000);
    case Mode::Unified: {
        if (!known)
            return {};
        listrecord shared = jobs.front();
        Segments::Normalise(shared);
        return Unified(source, shared, CutSegments(shared));
    }
    case Mode::Custom: {
        if (!known)
            return {};
        listrecord record = jobs[static_cast<size_t>(file)];
        if (!record.Pieces.empty())
            return Titled(source, record.Pieces);
        Segments::Normalise(record);
        return Custom(source, record, CutSegments(record), Fades::Of(function, source.rate));
    }
    }
    return {};
}

std::vector<PiecePlan::Piece> PiecePlan::Of(const AppState& state, int file, const Source& source,
                                            const std::vector<Silence>& silences) {
    return Of(Function::Of(state), state.JobList, file, source, silences);
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

bool PiecePlan::NeedsSilences(const Function& function) {
    return function.mode == Mode::Silence ||
           (function.mode == Mode::Time && function.snapToSilence);
}

bool PiecePlan::NeedsSilences(const AppState& state) {
    return NeedsSilences(Function::Of(state));
}

bool PiecePlan::CutsSegments(Mode mode) {
    return mode == Mode::Custom || mode == Mode::Unified;
}

bool PiecePlan::SharesSegments(Mode mode) {
    return mode == Mode::Unified;
}

bool PiecePlan::RowsArePieces(Mode mode, const listrecord& record) {
    // Marked pieces have no working row to take off.
    return !CutsSegments(mode) || (mode == Mode::Custom && !record.Pieces.empty());
}

bool PiecePlan::NamesFromOne(Mode mode) {
    return mode != Mode::Custom;
}

QString PiecePlan::NothingToWrite(const Function& function, const QString& name,
                                  std::int32_t seconds, const std::vector<Piece>& pieces) {
    if (function.mode == Mode::Count)
        return QStringLiteral("%1: its %2 seconds cannot be cut into %3 pieces of a second or "
                              "more.")
            .arg(name)
            .arg(seconds)
            .arg(function.splitCount);
    const bool leftPastEnd = std::all_of(pieces.begin(), pieces.end(),
                                         [](const Piece& p) { return p.leftOut == PastEnd; });
    if (SharesSegments(function.mode) && leftPastEnd)
        return QStringLiteral("%1: every segment begins after its end.").arg(name);
    return QStringLiteral("%1: every piece is shorter than a second.").arg(name);
}
