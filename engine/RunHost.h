#pragma once

#include "engine/RunOutcome.h"
#include "engine/RunRows.h"

#include <QString>
#include <QStringList>

#include <functional>

// What a run needs from its front end. Before the run, on the front end's
// thread: the file list's captions and the format box. During the run, on
// the run's thread: where it stands (the file being cut, the run display,
// the rows the segment list shows and how each piece ends) and its
// checkpoints. The runs never touch a list model or a widget: the host shows
// what they tell, on its own thread. Tests, the benchmarks and the
// command-line tool drive the same runs through `ModelRunHost`.
class RunHost {
public:
    virtual ~RunHost() = default;

    // Runs `run` (the run proper, which reports back through this host) and
    // returns its outcome. Here on the caller's thread; a window runs it on
    // a worker thread and keeps its own events going until it ends.
    virtual RunOutcome Execute(const std::function<RunOutcome()>& run) { return run(); }
    // Called on the run's thread at every point where the run may stop,
    // just before it looks whether it is to: between files, pieces and
    // blocks. A window lets what is due on its thread happen first; a test
    // may act here as a click on Stop would.
    virtual void Checkpoint() {}

    // Position in the format box, as OutputFormats lists the formats; read
    // once when a run starts.
    virtual int formatIndex() const = 0;
    virtual void setFormatIndex(int index) = 0;

    // The run began cutting the file on row `row` of the file list.
    virtual void FileStarted(int /*row*/) {}
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
    // as being written go back to what they showed. Called by the Stop
    // command, on the front end's thread.
    virtual void RunStopped() {}
};
