#pragma once

#include <QString>

// The steps of the split and join commands that a front end carries out:
// stopping its preview, asking for the join output, and the runs themselves.
// `RunCommand` strings them together the same way for every front end. The
// runs themselves go to `ContextRunSteps`, which runs them on a
// `RunContext`; the window's tests put a recorder in its place.
class RunSteps {
public:
    virtual ~RunSteps() = default;

    // Only called while the preview plays.
    virtual void StopPlayback() = 0;

    virtual void RunCustomSplit() = 0;
    virtual void RunTimeSplit() = 0;
    virtual void RunCountSplit() = 0;
    virtual void RunUnifiedSplit() = 0;
    virtual void RunSilenceSplit() = 0;

    // Asks for the join output; false when the join should not go ahead.
    virtual bool ChooseJoinOutput() = 0;
    virtual void RunCustomJoin() = 0;
    virtual void RunWholeJoin() = 0;
    virtual void UnifiAudoJoiner() = 0;
    // The file the last join was written to; empty when not known.
    virtual QString JoinedFile() const { return {}; }

    // After a run that ended without a failure: the front end brings its
    // displays up to date (the settings may have changed during the run).
    virtual void RunEnded() {}
};
