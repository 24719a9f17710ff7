#pragma once

#include <QString>

// What a run needs from the window beyond the job models: the event pump,
// the file list's selection and keyboard focus, the format box and the
// progress display. The main window implements it over its widgets; tests and
// the benchmarks drive the same runs through `ModelRunHost` without any widget.
class RunHost {
public:
    virtual ~RunHost() = default;

    // Delivers pending window events, so Stop and the dialogs work mid-run.
    virtual void processEvents() = 0;
    // Makes `row` the one selected row of the file list and returns the row
    // that is selected afterwards.
    virtual int selectFileRow(int row) = 0;
    virtual void focusFileList() = 0;
    // Position in the format box: 0 MP3, 1 WAV, 2 WMA, 3 OGG.
    virtual int formatIndex() const = 0;
    virtual void setFormatIndex(int index) = 0;
    // The run display: the status text "pbpos" and the progress bar, v in
    // hundredths of a percent (0..10000).
    virtual void SetRunText(const QString& text) = 0;
    virtual void SetRunProgress(int v) = 0;
    // A split output now under its final name: how it was made ("copied",
    // "re-encoded (fade)", empty when copying was not in question) and why
    // its tags could not be written (empty when they were).
    virtual void OutputWritten(const QString& /*path*/, const QString& /*note*/,
                               const QString& /*tagFailure*/) {}
};
