#pragma once

#include "engine/RunHost.h"

class Desktop;
class QItemSelectionModel;
class RunProgress;

// A run host without widgets: the selection lives in the file list's
// selection model, events are pumped through the desktop, the format index is
// a plain value and focus has nowhere to go. The main window's host builds on
// it; tests and the benchmark use it as it is.
class ModelRunHost : public RunHost {
public:
    ModelRunHost(Desktop& desktop, QItemSelectionModel& lvSelection, RunProgress& progress,
                 int formatIndex = 0);

    void processEvents() override;
    int selectFileRow(int row) override;
    void focusFileList() override {}
    int formatIndex() const override { return formatIndex_; }
    void setFormatIndex(int index) override { formatIndex_ = index; }
    void SetRunText(const QString& text) override;
    void SetRunProgress(int v) override;

private:
    Desktop& desktop_;
    QItemSelectionModel& lvSelection_;
    RunProgress& progress_;
    int formatIndex_;
};
