#pragma once

#include "engine/PiecePlan.h"
#include "platform/SettingsFile.h"

#include <QString>

#include <cstdint>
#include <memory>

struct AppState;

// The choices a run works with, taken once when it starts: the main window's
// options, what the settings file says of copying, ReplayGain, workers and
// names, and a snapshot of the encoder settings. A run reads only these, so
// the options and the settings file may change while it goes on (from the
// dialogs, on another thread) without changing it.
struct RunOptions {
    QString outputDir;
    // What the cutting modes read: lengths, counts, snapping and fades.
    PiecePlan::Choices cut;
    // Silences and the cuts moved to them (see AppState).
    std::int32_t silenceThreshold = -40;
    std::int32_t silenceMinimumMs = 1000;
    // The name templates of pieces without and with a title.
    QString untitledPattern;
    QString titledPattern;
    // The settings dialog's MP3 command line.
    QString mp3CommandLine;
    // Pieces of the run's format are copied where nothing changes their audio.
    bool copy = false;
    bool replayGain = false;
    // Workers that write pieces side by side; 1 writes them in turn.
    int workers = 1;
    // The encoder settings as they were at the start.
    std::shared_ptr<const SettingsFile> encoderSettings;

    // The options of `state` with the settings of `settings`, for output
    // format `format` (a position in OutputFormats).
    static RunOptions Of(const AppState& state, const SettingsFile& settings, int format);

    const QString& pattern(bool titled) const { return titled ? titledPattern : untitledPattern; }
    // The encoder settings; throws Error when the options were not taken
    // from a settings file.
    const SettingsFile& encoder() const;
};
