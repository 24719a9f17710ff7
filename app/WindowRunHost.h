#pragma once

#include "engine/ContextRunSteps.h"
#include "engine/RunContext.h"
#include "engine/RunHost.h"
#include "engine/RunSteps.h"

#include <optional>

class Tfm_main;

// The main window as the runs see it: its file list selection and focus, its
// format box, its skin's run display, and the components it owns. The window
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
    void SetRunText(const QString& text) override;
    void SetRunProgress(int v) override;

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
    std::optional<RunContext> context_;
    std::optional<ContextRunSteps> engine_;
};
