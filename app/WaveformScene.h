#pragma once

#include "core/Segments.h"
#include "engine/SilenceFinder.h"
#include "engine/audio/AudioOverview.h"

#include <memory>
#include <vector>

struct AppState;

// What the waveform shows for the selected file: its overview, the stretches
// that become pieces, the silences and the play position. Times are
// fractions of the file, 0 to 1, so the view only has to scale them.
struct WaveformScene {
    struct Span {
        double from = 0;
        double to = 0;
        // Confirmed segment or piece, the working segment, or every other
        // computed piece (drawn in a second shade so neighbours stand apart).
        enum class Kind { Segment, Working, AltPiece } kind = Kind::Segment;
        bool operator==(const Span&) const = default;
    };

    std::shared_ptr<const AudioOverview> overview; // null: nothing is drawn
    std::vector<Span> spans;
    std::vector<Span> silences;
    double position = -1; // below 0: no line

    bool operator==(const WaveformScene&) const = default;

    // The scene of file row `file` under the current function choice, with
    // the play position as a fraction of the file (below 0: none).
    static WaveformScene Of(const AppState& state, int file,
                            std::shared_ptr<const AudioOverview> overview, double position);
    // The silences of `overview` under the state's settings.
    static std::vector<Silence> SilencesOf(const AppState& state, const AudioOverview& overview);
};
