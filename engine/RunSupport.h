#pragma once

#include <QString>
#include <QtGlobal>

#include <exception>
#include <functional>

class Desktop;
class IAudioFile2;
class RunControl;
class RunHost;
struct RunContext;
struct RunRequest;
struct AppState;
struct RunOutcome;

// What the split and join runs, the run commands and both front ends share
// around a run: stopping it, closing components after a failure, emptying
// the run display, the check that a read reached the source's end, telling
// the user how a run ended, and showing the output folder.
class RunSupport {
public:
    // The Stop command while a run is on (or after one failed): the run
    // ends at its next checkpoint, and the display no longer shows a piece
    // being written. On the front end's thread.
    static void StopRun(AppState& state, RunControl& control, RunHost& host);
    // A run as the front ends start it, on the front end's thread: the
    // request read from the context's state, host, settings and overviews,
    // `Busy` set and the control cleared, `run` handed to the host to run
    // (on another thread, for a window), and `Busy` cleared again unless it
    // failed: a failed run stays busy until Stop. Nothing for an empty list.
    static RunOutcome Carry(RunContext& context, const std::function<RunOutcome(RunRequest)>& run);
    // Hands the output folder to the desktop's file browser.
    static void OpenOutputFolder(Desktop& desktop, const QString& outputDir);

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
    // Shows the outcome's messages in order, then throws what ended the
    // run early, if anything did.
    static void Present(const RunOutcome& outcome, Desktop& desktop);
};
