#pragma once

#include "engine/ModelRunHost.h"

#include <QString>

#include <set>

// The runs as the command-line tool shows them: one line on standard error,
// rewritten in place, with the file, the piece and its percentage. Shown
// only when standard error is a terminal and the tool is not quiet. The
// pieces the run ended are collected as by every model host.
class ConsoleRunHost : public ModelRunHost {
public:
    explicit ConsoleRunHost(bool showProgress);
    ~ConsoleRunHost() override;

    // The file the line names; a new file has no piece under way yet.
    void setFile(const QString& name);
    // Takes the progress line off the terminal before other output.
    void clearLine();

    void SetRunText(const QString& text) override;
    void PieceStarted(int file, int row, int rows, const QString& note = {}) override;
    void PieceEnded(const RunOutcome::Piece& piece) override;

private:
    bool show_;
    bool lineShown_ = false;
    QString shownLine_; // the line on the terminal while lineShown_
    QString file_;
    // The pieces under way and the rows of the segment list: the line names
    // the first of them, whose progress the run reports.
    std::set<int> underWay_;
    int rows_ = 0;
};
