#include "engine/RunRequest.h"

#include "core/AppState.h"
#include "engine/OutputFormats.h"
#include "engine/RunHost.h"
#include "engine/WaveformBuilder.h"

#include <algorithm>

RunRequest RunRequest::Of(const AppState& state, const RunHost& host, const SettingsFile& settings,
                          WaveformBuilder* overviews) {
    RunRequest request;
    request.jobs = state.JobList;
    for (const listrecord& job : request.jobs)
        request.captions.append(job.Caption);
    request.format = std::clamp(host.formatIndex(), 0, OutputFormats::Count() - 1);
    request.options = RunOptions::Of(state, settings, request.format);
    if (overviews)
        for (const listrecord& job : request.jobs)
            if (auto overview = overviews->overview(job.FileName))
                request.overviews.insert(job.FileName, std::move(overview));
    return request;
}
