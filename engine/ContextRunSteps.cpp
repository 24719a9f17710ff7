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

void ContextRunSteps::RunCustomSplit() {
    SplitRun(c_).RunCustomSplit();
}

void ContextRunSteps::RunTimeSplit() {
    SplitRun(c_).RunTimeSplit();
}

void ContextRunSteps::RunCountSplit() {
    SplitRun(c_).RunCountSplit();
}

void ContextRunSteps::RunUnifiedSplit() {
    SplitRun(c_).RunUnifiedSplit();
}

bool ContextRunSteps::ChooseJoinOutput() {
    return JoinRun(c_).ChooseJoinOutput(output_);
}

void ContextRunSteps::RunCustomJoin() {
    JoinRun(c_).RunCustomJoin(output_);
}

void ContextRunSteps::RunWholeJoin() {
    JoinRun(c_).RunWholeJoin(output_);
}

void ContextRunSteps::UnifiAudoJoiner() {
    JoinRun(c_).UnifiAudoJoiner(output_);
}
