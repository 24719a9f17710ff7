#include "engine/RunRequest.h"

#include "core/AppState.h"
#include "engine/OutputFormats.h"
#include "engine/RunHost.h"

#include <algorithm>

RunRequest RunRequest::Of(const AppState& state, const RunHost& host) {
    RunRequest request;
    request.captions = host.fileCaptions();
    const auto files =
        std::min<size_t>(static_cast<size_t>(request.captions.size()), state.JobList.size());
    request.jobs.assign(state.JobList.begin(),
                        state.JobList.begin() + static_cast<std::ptrdiff_t>(files));
    request.captions = request.captions.mid(0, static_cast<qsizetype>(files));
    request.format = std::clamp(host.formatIndex(), 0, OutputFormats::Count() - 1);
    return request;
}
