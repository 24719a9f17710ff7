#pragma once

#include "core/listrecord.h"
#include "engine/RunOptions.h"
#include "engine/audio/AudioOverview.h"

#include <QHash>
#include <QStringList>

#include <memory>
#include <vector>

class RunHost;
class SettingsFile;
class WaveformBuilder;
struct AppState;

// What a split or join run works from, read once before it starts: the jobs
// as the list holds them, each with its caption and tags (a run's changes to
// their segments stay in this copy), the output format and the options. The
// window may change its lists, its format box, its options and the settings
// while the run goes on; the run does not see it.
struct RunRequest {
    std::vector<listrecord> jobs;
    QStringList captions;
    int format = 0; // position in the registry of output formats
    RunOptions options;
    // Overviews of the files the window had already computed, by path;
    // cutting at silences scans the others itself.
    QHash<QString, std::shared_ptr<const AudioOverview>> overviews;

    // The jobs of the list with the options of `state` and `settings`.
    // Called on the front end's thread: it reads the host's format box, the
    // state, the settings file and the window's overviews.
    static RunRequest Of(const AppState& state, const RunHost& host, const SettingsFile& settings,
                         WaveformBuilder* overviews = nullptr);
    int files() const { return static_cast<int>(jobs.size()); }
};
