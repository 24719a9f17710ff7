#pragma once

#include "engine/RunContext.h"
#include "engine/RunHost.h"
#include "engine/RunSteps.h"

class Tfm_main;

// The main window as the runs see it: its file list selection and focus, its
// format box, its skin's run display, and the components it owns. As the
// command steps it hands each step to the window's own operation.
class WindowRunHost : public RunHost, public RunSteps {
public:
    explicit WindowRunHost(Tfm_main& window);

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
    void RunCountSplit() override;
    void RunUnifiedSplit() override;
    bool ChooseJoinOutput() override;
    void RunCustomJoin() override;
    void RunWholeJoin() override;
    void UnifiAudoJoiner() override;
    // The total time, which the settings may have changed during the run.
    void RunEnded() override;

private:
    Tfm_main& window_;
};
