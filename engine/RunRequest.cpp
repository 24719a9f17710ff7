#include "engine/RunRequest.h"

#include "core/AppState.h"
#include "engine/OutputFormats.h"
#include "engine/RunHost.h"
#include "engine/WaveformBuilder.h"

#include <algorithm>

RunRequest RunRequest::Of(const AppState& state, const RunHost& host, const SettingsFile& settings,
                          WaveformBuilder* overviews) {
    RunRequest request;
    request.captions = host.fileCaptions();
    const auto files =
        std::min<size_t>(static_cast<size_t>(request.captions.size()), state.JobList.size());
    request.jobs.assign(state.JobList.begin(),
                        state.JobList.begin() + static_cast<std::ptrdiff_t>(files));
    request.tags.assign(state.TagList.begin(),
                        state.TagList.begin() +
                            static_cast<std::ptrdiff_t>(std::min(files, state.TagList.size())));
    request.captions = request.captions.mid(0, static_cast<qsizetype>(files));
    request.format = std::clamp(host.formatIndex(), 0, OutputFormats::Count() - 1);
    request.options = RunOptions::Of(state, settings, request.format);
    if (overviews)
        for (const listrecord& job : request.jobs)
            if (auto overview = overviews->overview(job.FileName))
                request.overviews.insert(job.FileName, std::move(overview));
    return request;
}
