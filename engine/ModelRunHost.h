#pragma once

#include "engine/RunHost.h"

#include <QString>
#include <QStringList>

// A run host without widgets: the format index is a plain value the front
// end sets, the file being cut is remembered, the run
// display is the last text and progress reported, and the pieces that ended
// are collected. Rows are shown nowhere. Tests, the benchmarks and the
// command-line tool use it; the run goes on the caller's thread.
class ModelRunHost : public RunHost {
public:
    explicit ModelRunHost(int formatIndex = 0) : formatIndex_(formatIndex) {}

    int formatIndex() const override { return formatIndex_; }
    void setFormatIndex(int index) override { formatIndex_ = index; }
    void FileStarted(int row) override { currentFile_ = row; }
    void SetRunText(const QString& text) override { runText_ = text; }
    void SetRunProgress(int v) override { runProgress_ = v; }
    void PieceEnded(const RunOutcome::Piece& piece) override;

    // The file row the run cut last; -1 before any.
    int currentFile() const { return currentFile_; }
    // What the run reported last: its status text, and its progress in
    // hundredths of a percent (10000 once done, 0 after a reset).
    const QString& runText() const { return runText_; }
    int runProgress() const { return runProgress_; }
    // Every piece ended since the last take.
    const RunOutcome& outcome() const { return outcome_; }
    RunOutcome takeOutcome();

private:
    int formatIndex_;
    int currentFile_ = -1;
    QString runText_;
    int runProgress_ = 0;
    RunOutcome outcome_;
};
