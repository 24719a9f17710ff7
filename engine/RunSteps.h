#pragma once

// The steps of the split and join commands that a front end carries out:
// stopping its preview, asking for the join output, and the runs themselves.
// `RunCommand` strings them together the same way for every front end. The
// main window takes them through its own operations (which tests of the
// window watch); the command-line tool and the engine tests use
// `ContextRunSteps`, which runs them on a `RunContext`.
class RunSteps {
public:
    virtual ~RunSteps() = default;

    // Only called while the preview plays.
    virtual void StopPlayback() = 0;

    virtual void RunCustomSplit() = 0;
    virtual void RunTimeSplit() = 0;
    virtual void RunCountSplit() = 0;
    virtual void RunUnifiedSplit() = 0;

    // Asks for the join output; false when the join should not go ahead.
    virtual bool ChooseJoinOutput() = 0;
    virtual void RunCustomJoin() = 0;
    virtual void RunWholeJoin() = 0;
    virtual void UnifiAudoJoiner() = 0;

    // After a run that ended without a failure: the front end brings its
    // displays up to date (the settings may have changed during the run).
    virtual void RunEnded() {}
};
