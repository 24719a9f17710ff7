#include "app/WaveformScene.h"

#include "app/SegmentEditor.h"
#include "core/AppState.h"
#include "engine/PiecePlan.h"

#include <algorithm>

std::vector<Silence> WaveformScene::SilencesOf(const AppState& state,
                                               const AudioOverview& overview) {
    return SilenceFinder::Find(
        overview, {static_cast<double>(state.SilenceThreshold), state.SilenceMinimumMs});
}

WaveformScene WaveformScene::Of(const AppState& state, int file,
                                std::shared_ptr<const AudioOverview> overview, double position) {
    WaveformScene scene;
    if (!overview || file < 0 || file >= static_cast<int>(state.JobList.size()))
        return scene;
    const double totalMs = static_cast<double>(std::max<long long>(overview->durationMs(), 1));
    const auto fraction = [totalMs](double ms) { return std::clamp(ms / totalMs, 0.0, 1.0); };
    const listrecord& record = state.JobList[static_cast<size_t>(file)];

    const std::vector<Silence> silences = SilencesOf(state, *overview);
    const PiecePlan::Mode mode = PiecePlan::ModeIn(state);
    if (!PiecePlan::CutsSegments(mode)) {
        const PiecePlan::Source source = PiecePlan::Source::Of(record);
        const double frames = static_cast<double>(std::max<std::int64_t>(source.frames, 1));
        const std::vector<PiecePlan::Piece> pieces = PiecePlan::Of(state, file, source, silences);
        for (size_t k = 0; k < pieces.size(); ++k)
            scene.spans.push_back({std::clamp(double(pieces[k].begin) / frames, 0.0, 1.0),
                                   std::clamp(double(pieces[k].end) / frames, 0.0, 1.0),
                                   k % 2 ? Span::Kind::AltPiece : Span::Kind::Segment});
    } else {
        listrecord shown = PiecePlan::SharesSegments(mode) ? state.JobList.front() : record;
        Segments::Normalise(shown);
        for (std::int32_t j = 0; j < shown.SegmentCount; ++j) {
            const auto k = static_cast<size_t>(j);
            const bool working = j == shown.SegmentCount - 1 && shown.SegmentCount > 1;
            // A working segment still over the whole file says nothing.
            if (j == shown.SegmentCount - 1 && shown.BeginTimes[k] == 0 &&
                shown.EndTimes[k] >= record.Duration)
                continue;
            if (!working && k < shown.Pieces.size()) {
                // Marked pieces are drawn at their exact frames.
                const double frames = double(std::max<std::int64_t>(shown.SampleCount, 1));
                scene.spans.push_back({std::clamp(double(shown.Pieces[k].begin) / frames, 0.0, 1.0),
                                       std::clamp(double(shown.Pieces[k].end) / frames, 0.0, 1.0),
                                       Span::Kind::Segment});
                continue;
            }
            scene.spans.push_back({fraction(shown.BeginTimes[k] * 1000.0),
                                   fraction(shown.EndTimes[k] * 1000.0),
                                   working ? Span::Kind::Working : Span::Kind::Segment});
        }
    }
    for (const Silence& s : silences)
        scene.silences.push_back({fraction(double(s.beginMs)), fraction(double(s.endMs))});
    scene.overview = std::move(overview);
    scene.position = position < 0 ? -1 : std::clamp(position, 0.0, 1.0);
    return scene;
}
