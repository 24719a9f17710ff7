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
    void RunCustomSplit() override;
    void RunTimeSplit() override;
    void RunSilenceSplit() override;
    void RunCountSplit() override;
    void RunUnifiedSplit() override;
    bool ChooseJoinOutput() override;
    void RunCustomJoin() override;
    void RunWholeJoin() override;
    void UnifiAudoJoiner() override;
    QString JoinedFile() const override { return output_.path; }

    // The join output chosen last.
    const JoinRun::Output& joinOutput() const { return output_; }

private:
    RunContext& c_;
    std::function<void()> stopPlayback_;
    JoinRun::Output output_;
};
