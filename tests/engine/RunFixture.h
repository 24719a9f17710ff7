#pragma once

#include "app/SegmentList.h"
#include "core/RowSelection.h"
#include "engine/ModelRunHost.h"
#include "tests/support/FfmpegDecoder.h"
#include "tests/support/OggFixture.h"
#include "tests/support/RunParts.h"
#include "tests/support/ScriptedDesktop.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <initializer_list>
#include <utility>

// A model host whose checkpoints can act, as a click on Stop would, that
// keeps every status text the runs showed, takes the captions of the file
// list, selects the file being cut in it, and shows the rows a run tells of
// in a segment list, as the main window does. The run goes on the test's
// own thread, so what the checkpoint does happens at an exact point.
class PumpingHost : public ModelRunHost {
public:
    PumpingHost(AppState& state, QItemSelectionModel& lvSelection, SegmentList& rows,
                int formatIndex)
        : ModelRunHost(formatIndex), state_(state), lvSelection_(lvSelection), rows_(rows) {}
    std::function<void()> onCheckpoint;
    // How often a file was started (the window gives its list the focus).
    int focusCount = 0;
    QStringList texts;
    void SetRunText(const QString& text) override {
        ModelRunHost::SetRunText(text);
        texts.append(text);
    }
    void Checkpoint() override {
        if (onCheckpoint)
            onCheckpoint();
    }
    void FileStarted(int row) override {
        ModelRunHost::FileStarted(row);
        RowSelection selection(lvSelection_);
        selection.select(row);
        state_.CurrentFile = selection.selected();
        ++focusCount;
    }
    void RowsPlanned(const RunRows& rows) override { rows_.ShowRunRows(rows); }
    void PieceStarted(int file, int row, int rows, const QString& note) override {
        ModelRunHost::PieceStarted(file, row, rows, note);
        rows_.PieceStarted(row, note);
    }
    void PieceEnded(const RunOutcome::Piece& piece) override {
        ModelRunHost::PieceEnded(piece);
        rows_.PieceEnded(piece);
    }
    void JoinEnded(const RunOutcome::Piece& piece) override { ModelRunHost::PieceEnded(piece); }
    void JoinRowStarted(int row) override { rows_.JoinRowStarted(row); }
    void JoinRowEnded(int row) override { rows_.JoinRowEnded(row); }
    void RunStopped() override { rows_.RunStopped(); }

private:
    AppState& state_;
    QItemSelectionModel& lvSelection_;
    SegmentList& rows_;
};

// Made before the run parts, which keep their settings in it.
struct RunFolder {
    QTemporaryDir dir;
};

// The run parts and a scripted desktop, wired the way the main window wires
// them, with sources in src/ and the output folder out/.
class RunFixture : public ::testing::Test, protected RunFolder, protected RunParts {
protected:
    RunFixture();

    // Writes an Ogg source and adds it as the next file row, measured as the
    // job list measures it: one working segment over the whole file.
    QString addFile(const QString& name, const OggFixture& fixture);
    // Adds a file that exists already, the same way.
    // By value: the path may be one of the job list's own, which adding moves.
    void addSource(QString path);
    // Replaces a file's segments: confirmed ranges, then the working segment.
    void setSegments(int file, std::initializer_list<std::pair<int, int>> confirmed,
                     std::pair<int, int> working);
    void setFormat(int index) { host.setFormatIndex(index); }
    // The join command as the front ends give it, on `on`: save dialog, the
    // join of the function choice, the output folder opened.
    void joinCommand(RunContext& on);
    void joinCommand() { joinCommand(context); }

    QString out(const QString& name) const { return outDir + name; }
    // Every file in the output folder, hidden ones too: an output still
    // being written (or left unfinished) would show.
    QStringList outputs() const;
    DecodedAudio decode(const QString& name) const { return decodeWithFfmpeg(out(name)); }
    QString status(int row) const { return lvTime.text(row, 2); }
    // The window draws the run bar empty at 0 and once a run is done.
    bool runBarEmpty() const { return host.runProgress() <= 0 || host.runProgress() >= 10000; }

    // The gain of a decoded fixture tone of `amplitude` around second t
    // (RMS over a 20 ms window, left channel).
    static double gainAt(const DecodedAudio& audio, double t, float amplitude = 0.5f);

    QString srcDir;
    QString outDir;

    ScriptedDesktop desktop;
    SegmentList segments{state, lvTime};
    PumpingHost host{state, lvSelection, segments, 1};
    RunContext context = runContext(desktop, host);
};
