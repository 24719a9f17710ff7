#pragma once

#include <QString>
#include <QtGlobal>

#include <exception>

class Desktop;
class IAudioFile2;
class ReportListModel;
class RunHost;
struct AppState;

// What the split and join runs, the run commands and both front ends share
// around a run: stopping it, the working-row step, closing components after
// a failure, emptying the run display, the check that a read reached the
// source's end, and showing the output folder.
class RunSupport {
public:
    // The Stop command while a run is on (or after one failed): the run
    // ends, and the display no longer shows a piece being written.
    static void StopRun(AppState& state, RunHost& host, ReportListModel& lvTime);
    // Hands the output folder to the desktop's file browser.
    static void OpenOutputFolder(Desktop& desktop, const QString& outputDir);

    // The working-row step on the segment list as it stands: a single row is
    // the segment to cut and becomes "OK"; otherwise the last row, the
    // unconfirmed working segment, is taken off the list. Returns the rows
    // left and whether one was taken off.
    struct WorkingRows {
        int rows = 0;
        bool removed = false;
    };
    static WorkingRows ApplyWorkingRowStep(ReportListModel& lvTime);

    // Closes a component after a failure without letting a second failure
    // hide the first.
    static void CloseQuietly(IAudioFile2& component);
    // The end of every run: status text and bar emptied.
    static void ResetProgress(RunHost& host);
    // An empty read ends a piece only at the source's own end: at any frame
    // `position` before it the read failed, and this throws Error naming
    // `file` and the second.
    static void RequireEnd(IAudioFile2& reader, const QString& file, qint64 position);
    // The words of a failure as the user is told them: an Error's message,
    // another exception's text, empty for anything else.
    static QString ReasonOf(std::exception_ptr error);
};
