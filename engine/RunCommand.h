#pragma once

#include <QString>

class Desktop;
class RunControl;
class RunHost;
class RunSteps;
struct AppState;

// The split, join and stop commands as every front end gives them: the
// guards, the preview stopped before a run, the join output asked for, the
// run of the function choice, `Busy` cleared after a join, the output folder
// opened, and a failure's message telling how to end the failed run.
class RunCommand {
public:
    // Added to the message of a failure that left the run busy: until Stop,
    // the window refuses every command while looking idle.
    static const QString StopHint;

    RunCommand(AppState& state, RunHost& host, Desktop& desktop, RunSteps& steps,
               RunControl& control);

    // The hint added to a failure's message; a front end whose runs need no
    // Stop after a failure sets it empty.
    void setStopHint(const QString& hint) { stopHint_ = hint; }

    // "Split" (the output folder opened afterwards) and "Cutter" (not):
    // nothing while busy or without files.
    void Split(bool openFolder);
    // "Join": nothing while busy or when no output is chosen.
    void Join(bool openFolder);
    // "Stop": the preview, and the run (see RunSupport::StopRun).
    void Stop();

private:
    // Runs `run`, adding the stop hint to a failure that left `Busy` set.
    template <typename F> void withStopHint(F&& run);
    // Waits for the outputs of the run to reach the disk.
    void syncOutputs();

    AppState& state_;
    RunHost& host_;
    Desktop& desktop_;
    RunSteps& steps_;
    RunControl& control_;
    QString stopHint_ = StopHint;
};
