#include "engine/SilenceFinder.h"

#include "core/FramePosition.h"
#include "platform/FormatTime.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace {

std::int64_t binToMs(const AudioOverview& o, long long frame) {
    return FramePosition::Milliseconds(std::min<std::int64_t>(frame, o.frames), o.rate);
}

// Distance from `t` to the silence, 0 inside it.
std::int64_t distance(const Silence& s, std::int64_t t) {
    if (t < s.beginMs)
        return s.beginMs - t;
    if (t > s.endMs)
        return t - s.endMs;
    return 0;
}

} // namespace

std::vector<Silence> SilenceFinder::Find(const AudioOverview& overview,
                                         const SilenceParams& params) {
    std::vector<Silence> found;
    if (overview.rate <= 0)
        return found;
    const auto threshold = static_cast<long>(std::lround(params.thresholdDb * 100.0));
    const std::int64_t minimum = std::max<std::int64_t>(params.minSilenceMs, 1);
    const std::size_t bins = overview.bins();
    std::size_t k = 0;
    while (k < bins) {
        if (overview.level[k] >= threshold) {
            ++k;
            continue;
        }
        const std::size_t first = k;
        while (k < bins && overview.level[k] < threshold)
            ++k;
        const Silence s{binToMs(overview, overview.binStart(first)),
                        binToMs(overview, overview.binStart(k))};
        if (s.endMs - s.beginMs >= minimum)
            found.push_back(s);
    }
    return found;
}

std::vector<SilencePiece> SilenceFinder::SplitAtSilences(const std::vector<Silence>& silences,
                                                         std::int64_t durationMs,
                                                         std::int64_t minPieceMs) {
    std::vector<std::int64_t> cuts;
    std::int64_t last = 0;
    for (const Silence& s : silences) {
        if (s.beginMs <= 0 || s.endMs >= durationMs)
            continue;
        const std::int64_t cut = s.middleMs();
        if (cut - last < minPieceMs)
            continue;
        cuts.push_back(cut);
        last = cut;
    }
    if (!cuts.empty() && durationMs - cuts.back() < minPieceMs)
        cuts.pop_back();

    std::vector<SilencePiece> pieces;
    std::int64_t begin = 0;
    for (std::int64_t cut : cuts) {
        pieces.push_back({begin, cut, SilencePiece::Cut::Fixed, cut});
        begin = cut;
    }
    if (durationMs > begin || pieces.empty())
        pieces.push_back({begin, std::max(durationMs, begin), SilencePiece::Cut::Fixed,
                          std::max(durationMs, begin)});
    return pieces;
}

std::vector<SilencePiece> SilenceFinder::SplitByTime(const std::vector<Silence>& silences,
                                                     std::int64_t durationMs, std::int64_t pieceMs,
                                                     std::int64_t windowMs) {
    pieceMs = std::max<std::int64_t>(pieceMs, 1);
    std::vector<SilencePiece> pieces;
    std::int64_t begin = 0;
    for (std::int64_t planned = pieceMs; planned < durationMs; planned += pieceMs) {
        SilencePiece piece{begin, planned, SilencePiece::Cut::NoSilence, planned};
        if (const auto moved = SnapCut(silences, planned, windowMs)) {
            // A cut moved back past the previous one would make an empty
            // piece; it stays where it was planned instead.
            if (*moved > begin && *moved < durationMs) {
                piece.endMs = *moved;
                piece.endCut = SilencePiece::Cut::Snapped;
            }
        }
        pieces.push_back(piece);
        begin = piece.endMs;
    }
    pieces.push_back({begin, std::max(durationMs, begin), SilencePiece::Cut::Fixed,
                      std::max(durationMs, begin)});
    return pieces;
}

std::optional<std::int64_t> SilenceFinder::SnapCut(const std::vector<Silence>& silences,
                                                   std::int64_t cutMs, std::int64_t windowMs) {
    const Silence* nearest = nullptr;
    for (const Silence& s : silences) {
        const std::int64_t d = distance(s, cutMs);
        if (d > windowMs)
            continue;
        if (!nearest || d < distance(*nearest, cutMs) ||
            (d == 0 && std::llabs(s.middleMs() - cutMs) < std::llabs(nearest->middleMs() - cutMs)))
            nearest = &s;
    }
    if (!nearest)
        return std::nullopt;
    // The middle of the silence, kept inside the window.
    const std::int64_t low = std::max(nearest->beginMs, cutMs - windowMs);
    const std::int64_t high = std::min(nearest->endMs, cutMs + windowMs);
    return std::clamp(nearest->middleMs(), low, high);
}

std::optional<std::int32_t> SilenceFinder::SnapMarkSeconds(const std::vector<Silence>& silences,
                                                           std::int64_t timeMs,
                                                           std::int64_t windowMs) {
    std::optional<std::int32_t> best;
    std::int64_t bestDistance = 0;
    for (const Silence& s : silences) {
        // The whole seconds inside the silence next to each of its edges.
        const std::int64_t first = (s.beginMs + 999) / 1000;
        const std::int64_t last = s.endMs / 1000;
        if (first > last)
            continue;
        const std::int64_t edges[2][2] = {{s.beginMs, first}, {s.endMs, last}};
        for (const auto& edge : edges) {
            const std::int64_t d = std::llabs(edge[0] - timeMs);
            if (d > windowMs || (best && d >= bestDistance))
                continue;
            best = static_cast<std::int32_t>(edge[1]);
            bestDistance = d;
        }
    }
    return best;
}

QString SilenceFinder::CutNote(const SilencePiece& piece, std::int64_t windowMs) {
    const QString planned = FormatTime(piece.plannedEndMs / 1000);
    const double window = static_cast<double>(windowMs) / 1000.0;
    switch (piece.endCut) {
    case SilencePiece::Cut::Snapped:
        return QStringLiteral("Cut moved from %1 to the silence at %2.%3")
            .arg(planned, FormatTime(piece.endMs / 1000))
            .arg(piece.endMs % 1000 / 100);
    case SilencePiece::Cut::NoSilence:
        return QStringLiteral("No silence within %1 s of %2: the cut stays there.")
            .arg(QString::number(window), planned);
    case SilencePiece::Cut::Fixed:
        break;
    }
    return QString();
}
