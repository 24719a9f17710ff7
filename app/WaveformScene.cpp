#include "app/WaveformScene.h"

#include "core/AppState.h"
#include "app/SegmentEditor.h"

#include <algorithm>

std::vector<Silence> WaveformScene::SilencesOf(const AppState& state,
                                               const AudioOverview& overview) {
    return SilenceFinder::Find(
        overview, {static_cast<double>(state.SilenceThreshold), state.SilenceMinimumMs});
}

std::vector<SilencePiece> WaveformScene::SilencePiecesOf(const AppState& state,
                                                         const AudioOverview& overview) {
    return SilenceFinder::SplitAtSilences(SilencesOf(state, overview), overview.durationMs(),
                                          std::int64_t{state.SilenceMinimumPiece} * 1000);
}

WaveformScene WaveformScene::Of(const AppState& state, int file,
                                std::shared_ptr<const AudioOverview> overview, double position) {
    WaveformScene scene;
    if (!overview || file < 0 || file >= static_cast<int>(state.JobList.size()))
        return scene;
    const double totalMs = static_cast<double>(std::max<long long>(overview->durationMs(), 1));
    const auto fraction = [totalMs](double ms) { return std::clamp(ms / totalMs, 0.0, 1.0); };
    const listrecord& record = state.JobList[static_cast<size_t>(file)];

    const auto addPieces = [&](const std::vector<Segments::Piece>& pieces) {
        for (size_t k = 0; k < pieces.size(); ++k)
            scene.spans.push_back({fraction(pieces[k].begin * 1000.0),
                                   fraction(pieces[k].end * 1000.0),
                                   k % 2 ? Span::Kind::AltPiece : Span::Kind::Segment});
    };
    const std::vector<Silence> silences = SilencesOf(state, *overview);
    switch (state.FunctionChoice) {
    case FunctionSplitByTime:
        if (state.SnapToSilence) {
            const auto pieces =
                SilenceFinder::SplitByTime(silences, overview->durationMs(),
                                           std::int64_t{std::max(state.SplitSeconds, 1)} * 1000,
                                           std::int64_t{state.SnapSeconds} * 1000);
            for (size_t k = 0; k < pieces.size(); ++k)
                scene.spans.push_back({fraction(double(pieces[k].beginMs)),
                                       fraction(double(pieces[k].endMs)),
                                       k % 2 ? Span::Kind::AltPiece : Span::Kind::Segment});
        } else {
            addPieces(Segments::TimePieces(record.Duration, state.SplitSeconds));
        }
        break;
    case FunctionSplitByCount:
        addPieces(Segments::CountPieces(record.Duration, state.SplitCount));
        break;
    case FunctionSplitAtSilences: {
        const auto pieces = SilencePiecesOf(state, *overview);
        for (size_t k = 0; k < pieces.size(); ++k)
            scene.spans.push_back({fraction(double(pieces[k].beginMs)),
                                   fraction(double(pieces[k].endMs)),
                                   k % 2 ? Span::Kind::AltPiece : Span::Kind::Segment});
        break;
    }
    default: {
        listrecord shown =
            state.FunctionChoice == FunctionUnification ? state.JobList.front() : record;
        Segments::Normalise(shown);
        for (std::int32_t j = 0; j < shown.SegmentCount; ++j) {
            const auto k = static_cast<size_t>(j);
            const bool working = j == shown.SegmentCount - 1 && shown.SegmentCount > 1;
            // A working segment still over the whole file says nothing.
            if (j == shown.SegmentCount - 1 && shown.BeginTimes[k] == 0 &&
                shown.EndTimes[k] >= record.Duration)
                continue;
            scene.spans.push_back({fraction(shown.BeginTimes[k] * 1000.0),
                                   fraction(shown.EndTimes[k] * 1000.0),
                                   working ? Span::Kind::Working : Span::Kind::Segment});
        }
        break;
    }
    }
    for (const Silence& s : silences)
        scene.silences.push_back({fraction(double(s.beginMs)), fraction(double(s.endMs))});
    scene.overview = std::move(overview);
    scene.position = position < 0 ? -1 : std::clamp(position, 0.0, 1.0);
    return scene;
}
