#pragma once

#include "engine/RunOutcome.h"
#include "engine/RunRows.h"

#include <QString>
#include <QStringList>

// What a run needs from its front end: the event pump, the file list's
// selection and keyboard focus, the format box, the progress display, and
// the rows the segment list shows. The runs never touch a list model: they
// tell the host what each row is doing, and the host (the main window, or a
// test's segment list) shows it. Tests, the benchmarks and the command-line
// tool drive the same runs through `ModelRunHost` without any widget.
class RunHost {
public:
    virtual ~RunHost() = default;

    // Delivers pending window events, so Stop and the dialogs work mid-run.
    virtual void processEvents() = 0;
    // Makes `row` the one selected row of the file list and returns the row
    // that is selected afterwards.
    virtual int selectFileRow(int row) = 0;
    virtual void focusFileList() = 0;
    // Position in the format box, as OutputFormats lists the formats; read
    // once when a run starts.
    virtual int formatIndex() const = 0;
    virtual void setFormatIndex(int index) = 0;
    // The captions of the file list, in its order; pieces are named after them.
    virtual QStringList fileCaptions() const = 0;
    // The run display: the status text "pbpos" and the progress bar, v in
    // hundredths of a percent (0..10000).
    virtual void SetRunText(const QString& text) = 0;
    virtual void SetRunProgress(int v) = 0;

    // The rows the segment list shows for the file now cut.
    virtual void RowsPlanned(const RunRows& /*rows*/) {}
    // A split run began writing piece `row` of file `file`, one of `rows`;
    // `note` says where its cut moved and how it is made.
    virtual void PieceStarted(int /*file*/, int /*row*/, int /*rows*/,
                              const QString& /*note*/ = {}) {}
    // A piece of a split run has ended: written, failed or left out.
    virtual void PieceEnded(const RunOutcome::Piece& /*piece*/) {}
    // A join's one output has ended; its rows were told apart. Hosts that
    // only collect pieces take it as any other.
    virtual void JoinEnded(const RunOutcome::Piece& piece) { PieceEnded(piece); }
    // A join began reading the segment on `row` of the rows shown, and
    // finished it (also when stopped part-way).
    virtual void JoinRowStarted(int /*row*/) {}
    virtual void JoinRowEnded(int /*row*/) {}
    // Stop ended the run, or a failed run was given up: rows still shown
    // as being written go back to what they showed.
    virtual void RunStopped() {}
};
