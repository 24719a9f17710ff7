#pragma once

#include "engine/RunHost.h"

#include <QString>

#include <vector>

class Desktop;
class QItemSelectionModel;
class ReportListModel;

// The runs as the command-line tool shows them: one line on standard error,
// rewritten in place, with the file, the piece and its percentage. Shown
// only when standard error is a terminal and the tool is not quiet.
class ConsoleRunHost : public RunHost {
public:
    ConsoleRunHost(Desktop& desktop, QItemSelectionModel& lvSelection,
                   const ReportListModel& lvTime, bool showProgress);
    ~ConsoleRunHost() override;

    // The file the line names.
    void setFile(const QString& name) { file_ = name; }
    // Takes the progress line off the terminal before other output.
    void clearLine();

    void processEvents() override;
    int selectFileRow(int row) override;
    void focusFileList() override {}
    int formatIndex() const override { return formatIndex_; }
    void setFormatIndex(int index) override { formatIndex_ = index; }
    void SetRunText(const QString& text) override;
    void SetRunProgress(int) override {}
    void OutputWritten(const QString& path, const QString& note,
                       const QString& tagFailure) override;

    // A split output as the run reported it.
    struct Output {
        QString path;
        QString note;
        QString tagFailure;
    };
    // The outputs reported since the last call.
    std::vector<Output> takeOutputs();

private:
    Desktop& desktop_;
    QItemSelectionModel& lvSelection_;
    const ReportListModel& lvTime_;
    bool show_;
    bool lineShown_ = false;
    QString shownLine_; // the line on the terminal while lineShown_
    QString file_;
    int formatIndex_ = 0;
    std::vector<Output> outputs_;
};
