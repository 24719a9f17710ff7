#pragma once

#include "engine/RunOutcome.h"

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
    // Position in the format box, as OutputFormats lists the formats.
    virtual int formatIndex() const = 0;
    virtual void setFormatIndex(int index) = 0;
    // The run display: the status text "pbpos" and the progress bar, v in
    // hundredths of a percent (0..10000).
    virtual void SetRunText(const QString& text) = 0;
    virtual void SetRunProgress(int v) = 0;
    // A split run began writing piece `row` of file `file`; the segment list
    // holds `rows` rows.
    virtual void PieceStarted(int /*file*/, int /*row*/, int /*rows*/) {}
    // A piece the run started has ended: written, failed or left out.
    virtual void PieceEnded(const RunOutcome::Piece& /*piece*/) {}
};
