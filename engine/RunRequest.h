#pragma once

#include "core/listrecord.h"

#include <QStringList>

#include <vector>

class RunHost;
struct AppState;

// What a split or join run works through, read once before it starts: the
// jobs as the list holds them, each with its tags (a run's changes to their
// segments stay in this copy), their captions, and the output format. The window may
// change its lists and its format box while the run goes on; the run does
// not see it.
struct RunRequest {
    std::vector<listrecord> jobs;
    QStringList captions;
    int format = 0; // position in the registry of output formats

    // The files of the list, as many as both the list and the job list hold.
    static RunRequest Of(const AppState& state, const RunHost& host);
    int files() const { return static_cast<int>(jobs.size()); }
};
