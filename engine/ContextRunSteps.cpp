#include "engine/ContextRunSteps.h"

#include "engine/RunContext.h"
#include "engine/SplitRun.h"

#include <utility>

ContextRunSteps::ContextRunSteps(RunContext& context, std::function<void()> stopPlayback)
    : c_(context), stopPlayback_(std::move(stopPlayback)) {}

void ContextRunSteps::StopPlayback() {
    if (stopPlayback_)
        stopPlayback_();
}

void ContextRunSteps::RunSplit(PiecePlan::Mode mode) {
    SplitRun(c_).Run(mode);
}

bool ContextRunSteps::ChooseJoinOutput() {
    return JoinRun(c_).ChooseJoinOutput(output_);
}

void ContextRunSteps::RunJoin(PiecePlan::Mode mode) {
    JoinRun(c_).Run(mode, output_);
}
