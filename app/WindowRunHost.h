#pragma once

#include "engine/RunContext.h"
#include "engine/RunHost.h"

class Tfm_main;

// The main window as the runs see it: its file list selection and focus, its
// format box, its skin's run display, and the components it owns.
class WindowRunHost : public RunHost {
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

private:
    Tfm_main& window_;
};
