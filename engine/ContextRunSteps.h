#pragma once

#include "engine/JoinRun.h"
#include "engine/RunSteps.h"

#include <functional>

struct RunContext;

// The command steps on a run context, without a window: the runs of
// `SplitRun` and `JoinRun`, the join output from `JoinRun::ChooseJoinOutput`
// (the desktop's save dialog) and the preview stopped through a callback.
class ContextRunSteps : public RunSteps {
public:
    explicit ContextRunSteps(RunContext& context, std::function<void()> stopPlayback = {});

    void StopPlayback() override;
    void RunSplit(PiecePlan::Mode mode) override;
    bool ChooseJoinOutput() override;
    void RunJoin(PiecePlan::Mode mode) override;
    QString JoinedFile() const override { return output_.path; }

private:
    RunContext& c_;
    std::function<void()> stopPlayback_;
    JoinRun::Output output_;
};
