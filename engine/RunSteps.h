#pragma once

#include "engine/PiecePlan.h"

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

    // The split run of `mode`.
    virtual void RunSplit(PiecePlan::Mode mode) = 0;

    // Asks for the join output; false when the join should not go ahead.
    virtual bool ChooseJoinOutput() = 0;
    // The join run of `mode`, into the output chosen last.
    virtual void RunJoin(PiecePlan::Mode mode) = 0;
    // The file the last join was written to; empty when not known.
    virtual QString JoinedFile() const { return {}; }

    // After a run that ended without a failure: the front end brings its
    // displays up to date (the settings may have changed during the run).
    virtual void RunEnded() {}
};
