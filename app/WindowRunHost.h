#pragma once

#include "app/SegmentList.h"
#include "engine/ContextRunSteps.h"
#include "engine/RunContext.h"
#include "engine/RunHost.h"
#include "engine/RunSteps.h"

#include <optional>

class Tfm_main;

// The main window as the runs see it: its file list selection, captions and
// focus, its format box, its skin's run display, its segment list showing
// what the run tells of its rows, and the components it owns. The window
// stops its own preview and brings its displays up to date after a run; the
// runs and the join output's choice go to the engine on the window's
// components, or to `runs` when one is given.
class WindowRunHost : public RunHost, public RunSteps {
public:
    explicit WindowRunHost(Tfm_main& window, RunSteps* runs = nullptr);

    // What a run works on, all owned by the window. Throws `Error` when the
    // window has no audio components or has not opened its settings file.
    RunContext context();

    void processEvents() override;
    int selectFileRow(int row) override;
    void focusFileList() override;
    int formatIndex() const override;
    void setFormatIndex(int index) override;
    QStringList fileCaptions() const override;
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
    void RunCustomSplit() override;
    void RunTimeSplit() override;
    void RunSilenceSplit() override;
    void RunCountSplit() override;
    void RunUnifiedSplit() override;
    bool ChooseJoinOutput() override;
    void RunCustomJoin() override;
    void RunWholeJoin() override;
    void UnifiAudoJoiner() override;
    QString JoinedFile() const override;
    // The total time, which the settings may have changed during the run.
    void RunEnded() override;

private:
    // The given runs, or the engine's on a context made at the first step;
    // the join output chosen there stays for the join that follows.
    RunSteps& runs();

    Tfm_main& window_;
    RunSteps* runs_;
    SegmentList rows_;
    std::optional<RunContext> context_;
    std::optional<ContextRunSteps> engine_;
};
