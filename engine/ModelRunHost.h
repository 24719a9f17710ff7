#pragma once

#include "engine/RunHost.h"

#include <QString>

class Desktop;
class QItemSelectionModel;

// A run host without widgets: the selection lives in the file list's
// selection model, whose first column gives the captions; events are pumped
// through the desktop, the format index is a plain value and focus has
// nowhere to go; the run display is the last text and progress reported, and
// the pieces that ended are collected. Rows are shown nowhere. Tests, the
// benchmarks and the command-line tool use it.
class ModelRunHost : public RunHost {
public:
    ModelRunHost(Desktop& desktop, QItemSelectionModel& lvSelection, int formatIndex = 0);

    void processEvents() override;
    int selectFileRow(int row) override;
    void focusFileList() override {}
    int formatIndex() const override { return formatIndex_; }
    void setFormatIndex(int index) override { formatIndex_ = index; }
    QStringList fileCaptions() const override;
    void SetRunText(const QString& text) override { runText_ = text; }
    void SetRunProgress(int v) override { runProgress_ = v; }
    void PieceEnded(const RunOutcome::Piece& piece) override;

    // What the run reported last: its status text, and its progress in
    // hundredths of a percent (10000 once done, 0 after a reset).
    const QString& runText() const { return runText_; }
    int runProgress() const { return runProgress_; }
    // Every piece ended since the last take.
    const RunOutcome& outcome() const { return outcome_; }
    RunOutcome takeOutcome();

private:
    Desktop& desktop_;
    QItemSelectionModel& lvSelection_;
    int formatIndex_;
    QString runText_;
    int runProgress_ = 0;
    RunOutcome outcome_;
};
