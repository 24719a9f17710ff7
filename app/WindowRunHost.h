#pragma once

#include "app/SegmentList.h"
#include "engine/ContextRunSteps.h"
#include "engine/RunContext.h"
#include "engine/RunHost.h"
#include "engine/RunSteps.h"

#include <QObject>

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>

class Tfm_main;

// The main window as the runs see it: its file list selection, captions and
// focus, its format box, its skin's run display, its segment list showing
// what the run tells of its rows, and the components it owns. The window
// stops its own preview and brings its displays up to date after a run; the
// runs and the join output's choice go to the engine on the window's
// components, or to `runs` when one is given.
//
// The engine's run goes on a worker thread while the interface thread waits
// in an event loop of its own, as a modal dialog does: the window repaints,
// Stop works and every other command is refused while `Busy` is set. What the
// run tells arrives on the worker and is handed to the interface thread in
// order, with copies of its values; at each checkpoint the worker waits until
// the window has shown all of it and handled what is due (a click on Stop),
// so the run stops where it did when it ran on the window's own thread. The
// run ends, and its last words are shown, before Execute returns.
class WindowRunHost : public RunHost, public RunSteps {
public:
    explicit WindowRunHost(Tfm_main& window, RunSteps* runs = nullptr);
    ~WindowRunHost() override;

    // What a run works on, all owned by the window. Throws `Error` when the
    // window has no audio components or has not opened its settings file.
    RunContext context();

    RunOutcome Execute(const std::function<RunOutcome()>& run) override;
    void Checkpoint() override;
    int formatIndex() const override;
    void setFormatIndex(int index) override;
    void FileStarted(int row) override;
    void SetRunText(const QString& text) override;
    void SetRunProgress(int v) override;
    void RowsPlanned(const RunRows& rows) override;
    void PieceStarted(int file, int row, int rows, const QString& note) override;
    void PieceEnded(const RunOutcome::Piece& piece) override;
    void JoinEnded(const RunOutcome::Piece& piece) override;
    void JoinRowStarted(int row) override;
    void JoinRowEnded(int row) override;
    void RunStopped() override;

    void StopPlayback() override;
    void RunSplit(PiecePlan::Mode mode) override;
    bool ChooseJoinOutput() override;
    void RunJoin(PiecePlan::Mode mode) override;
    QString JoinedFile() const override;
    // The total time, which the settings may have changed during the run.
    void RunEnded() override;

private:
    // The given runs, or the engine's on a context made at the first step;
    // the join output chosen there stays for the join that follows.
    RunSteps& runs();
    // Carries out `show` on the interface thread: at once when called
    // there, else queued behind what the run told before.
    void onWindow(std::function<void()> show);

    Tfm_main& window_;
    RunSteps* runs_;
    SegmentList rows_;
    std::optional<RunContext> context_;
    std::optional<ContextRunSteps> engine_;
    // Lives on the interface thread; what the worker hands over is queued to it.
    QObject gate_;
    // A checkpoint waits for the interface thread's answer, or until the
    // interface thread no longer waits for the run (the program is
    // quitting): checkpoints then wait for nothing.
    std::mutex checkpointMutex_;
    std::condition_variable checkpointAnswered_;
    bool abandoned_ = false;
};
