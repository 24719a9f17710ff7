#pragma once

#include "engine/audio/AudioOverview.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <optional>
#include <vector>

// A stretch of a file quieter than the threshold, in milliseconds.
struct Silence {
    std::int64_t beginMs = 0;
    std::int64_t endMs = 0;
    std::int64_t middleMs() const { return beginMs + (endMs - beginMs) / 2; }
    bool operator==(const Silence&) const = default;
};

// What counts as a silence: below `thresholdDb` dBFS (RMS over 10 ms) for at
// least `minSilenceMs`. The defaults suit speech.
struct SilenceParams {
    double thresholdDb = -40.0;
    std::int64_t minSilenceMs = 1000;
};

// A piece of a file to write, in milliseconds, with what happened to the cut
// at its end when cuts were moved to silences.
struct SilencePiece {
    std::int64_t beginMs = 0;
    std::int64_t endMs = 0;
    enum class Cut {
        Fixed,     // the file's end, or a cut at a silence's middle
        Snapped,   // a time cut moved into a silence
        NoSilence, // a time cut with no silence near enough: left where it was
    };
    Cut endCut = Cut::Fixed;
    std::int64_t plannedEndMs = 0; // where the cut was before snapping
};

// Finds silences in a file's overview and turns them into cuts. Everything
// here is plain arithmetic on the overview, so front ends call it directly:
//
//   AudioOverview o = PeakScanner::Scan(path);
//   auto silences = SilenceFinder::Find(o, {-40.0, 1000});
//   auto pieces = SilenceFinder::SplitAtSilences(silences, o.durationMs(), 5000);
class SilenceFinder {
public:
    static std::vector<Silence> Find(const AudioOverview& overview, const SilenceParams& params);

    // The sound between silences: one cut in the middle of every silence
    // that lies inside the file (one touching its start or end cuts
    // nothing). A piece shorter than `minPieceMs` is merged with the next
    // one, the last with the one before.
    static std::vector<SilencePiece> SplitAtSilences(const std::vector<Silence>& silences,
                                                     std::int64_t durationMs,
                                                     std::int64_t minPieceMs);

    // Pieces of `pieceMs` each, every cut moved to the nearest silence that
    // reaches within `windowMs` of it: to the silence's middle, or as near to
    // it as the window allows. A cut with no such silence stays and says so.
    static std::vector<SilencePiece> SplitByTime(const std::vector<Silence>& silences,
                                                 std::int64_t durationMs, std::int64_t pieceMs,
                                                 std::int64_t windowMs);

    // Where a cut at `cutMs` goes; empty when no silence reaches within
    // `windowMs` of it.
    static std::optional<std::int64_t> SnapCut(const std::vector<Silence>& silences,
                                               std::int64_t cutMs, std::int64_t windowMs);

    // The silence edge nearest `timeMs` within `windowMs`, as the whole
    // second inside that silence closest to the edge, so a mark placed there
    // never cuts into sound. Empty when there is none.
    static std::optional<std::int32_t> SnapMarkSeconds(const std::vector<Silence>& silences,
                                                       std::int64_t timeMs, std::int64_t windowMs);

    // The row note for a piece whose end cut was moved or could not be.
    static QString CutNote(const SilencePiece& piece, std::int64_t windowMs);
};
