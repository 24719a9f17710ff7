#pragma once

#include "core/PieceTags.h"
#include "core/TitledPiece.h"
#include "engine/GivenNames.h"
#include "engine/PendingOutput.h"
#include "engine/PieceBlocks.h"
#include "engine/PieceExtras.h"
#include "engine/PiecePlan.h"
#include "engine/RunContext.h"
#include "engine/RunOutcome.h"
#include "engine/RunRequest.h"
#include "engine/audio/StreamCutter.h"

#include <QSet>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <utility>
#include <vector>

class IAudioFile2;
class IAudioFile2LameEnc;
struct OutputFormat;
struct listrecord;

// The split runs, one for each mode of the plan: every file of the request is cut into the pieces
// PiecePlan gives, each piece written to its own file in the output folder in the request's format,
// with fades, tags and progress. The host is told the rows each file is cut into and how each piece
// starts and ends; the run returns the outcome. Everything it reads is in its request, so it may
// run on a thread of its own; Stop sets the context's control, which the run notices at its next
// checkpoint.
//
// Each output is written under a temporary name and named only once it is
// complete and tagged. A failing component ends the run with the exception,
// after the reader and writer have been closed and the unfinished output
// removed (outputs finished before stay), and the outcome carries the
// failure; `Busy` then stays set until the user presses Stop.
//
// A piece whose audio nothing changes (no fade), in a format that can copy
// packets (OGG, Opus, MP3) from a source of its own kind, is cut by copying
// them, unless the "copy" setting is off; the row's note says whether it was
// copied or re-encoded, and why.
//
// Tags that cannot be written leave the piece complete and the run going;
// at its end one message names those files, and another the files that gave
// nothing to write (every piece shorter than a second).
class SplitRun {
public:
    explicit SplitRun(RunContext& context);

    // Cuts the files of `request` as `mode` does; never throws. A failure
    // that ended the run is in the outcome, after the messages for the user.
    // Reads nothing but the request, and the context's components, host and
    // control.
    RunOutcome Split(PiecePlan::Mode mode, RunRequest request);

    // The run as the front ends give it (see RunSupport::Carry): the request
    // read from the state and the host, the run where the host runs it, the
    // outcome's messages shown, a failure thrown.
    void Run(PiecePlan::Mode mode);

private:
    using Piece = PiecePlan::Piece;

    void runFiles();
    // The open source, as the plan takes it.
    PiecePlan::Source openSource(const listrecord& record) const;
    // An output being made: its file, the name it is to take, and whether
    // it is copied or encoded (and why).
    struct Output {
        PendingOutput file;
        std::function<QString()> name;
        QString folder;
        QString extension;
        const OutputFormat* format = nullptr;
        bool copy = false; // the format's cutter copies the source's packets
        QString note;
        int row = -1; // of the segment list
        // The source frames it is to hold, and the name first chosen for it.
        std::int64_t begin = 0;
        std::int64_t end = 0;
        QString planned;
        std::shared_ptr<LoudnessMeter> meter; // with ReplayGain, of an encoded piece
    };

    void writePiece(int file, int row, std::int64_t start, std::int64_t length);
    // Tells the host that a piece that started ended other than written.
    void reportUnwritten(int file, const Output& out, RunOutcome::Status status,
                         const QString& problem = {});
    // Tells the host how a piece ended, with its frames, names and tags.
    void pieceEnded(int file, const Output& out, RunOutcome::Piece ended);
    // The pieces of `file` that never started, after a stop or a failure,
    // are told as left out, each with the name it would have had.
    void reportNeverStarted(int file, const std::vector<Piece>& pieces);
    // The next free name for the piece on `row` starting at frame `start`;
    // given out, so no later piece takes it.
    QString pieceName(int file, int row, std::int64_t start, const QString& folder,
                      const OutputFormat& format);
    // Sets `writer` and `encoder` up for the piece and chooses its name.
    void configureOutput(int file, std::int64_t start, std::int64_t length, IAudioFile2& writer,
                         IAudioFile2LameEnc& encoder, Output& out);
    // Creates the output under its chosen name, else under the fallback name.
    void createOutput(int file, Output& out, IAudioFile2& writer);
    // Tags the written output and gives it its final name.
    void completeOutput(int file, Output& out);
    // Counts what the writer of a piece of `file` had to clip.
    void countFaults(int file, IAudioFile2& writer);
    // How many workers write the pieces of the open source; 1 means in turn.
    int parallelWorkers(const std::vector<Piece>& pieces) const;
    void writePiecesInParallel(int file, const std::vector<Piece>& pieces, int workers);
    // Returns the frames written.
    std::int64_t copyBlocks(std::int64_t length);
    // The piece of the open source starting at frame `start`, as its blocks
    // are copied.
    PieceBlocks::Piece blocksOf(std::int64_t start, std::int64_t length) const;
    // The run display: the piece's percentage and how it is made.
    void showProgress(std::int64_t done, std::int64_t length);
    // Why the piece cannot be copied into `format`, empty when it can.
    QString copyObstacle(const OutputFormat& format, const listrecord& record, std::int64_t start,
                         std::int64_t length);
    // A checkpoint: the host's, then whether the run goes on (not stopped).
    bool goOn();
    // Whether the pieces of the current file fade in or out.
    bool fades() const;
    // Writes the piece into `path` by copying the source's packets.
    // Returns the frames the piece holds.
    std::int64_t copyPiece(const QString& path, std::int64_t start, std::int64_t length);
    // The record whose marks the run cuts from `file`.
    const listrecord& marking(int file) const;
    // The marked piece on `row` of file `file`, numbered; an empty one when
    // the file has none.
    TitledPiece markedPiece(int file, int row) const;
    // What the piece on `row` is tagged with and named after.
    PieceTags pieceTags(int file, int row) const;
    // A row's note: where its cut moved, and how the piece was made.
    QString rowNote(int row, const QString& pieceNote) const;
    // The messages about tags and empty files, at the end of a run.
    void reportAtEnd();
    // The silences of the open source, for the functions that cut at them;
    // none when the run was stopped while the file was being scanned.
    std::optional<std::vector<Silence>> silencesOf(const listrecord& record);

    RunContext& c_;
    RunRequest request_;
    RunOutcome outcome_;
    // The rows the host was last told to show.
    int rowsShown_ = 0;
    PiecePlan::Function function_;
    // The output paths given out in this run.
    GivenNames givenNames_;
    // The rows of the current file whose pieces have been told as ended.
    QSet<int> endedRows_;
    // The open source, read once after it is opened.
    QString source_;
    std::int64_t sampleCount_ = 0;
    std::int32_t rate_ = 0;
    std::int32_t channels_ = 0;
    int bits_ = 0;                // of a lossless source's samples, else 0
    std::int64_t pieceStart_ = 0; // the frame the piece being written starts at
    // Fade lengths of the current file, in frames.
    std::int32_t fadeInLen_ = 0;
    std::int32_t fadeOutLen_ = 0;
    // The current source's packets, read when a piece of it is first copied,
    // for the format they were read for.
    std::shared_ptr<const StreamCutter> cutter_; // shared with the workers copying its pieces
    const OutputFormat* cutterFormat_ = nullptr;
    QString cutterProblem_;
    // How the piece being written is made ("copied", "re-encoded (fade)"),
    // shown on its row; empty when copying is not in question.
    QString pieceNote_;
    // Why the tags of finished outputs could not be written, one line each.
    QStringList tagFailures_;
    // Files that had nothing to write, each with the reason.
    QStringList nothingWritten_;
    // Per source file, in run order: how many of its samples were faults
    // (not numbers, infinite, far beyond full scale) clipped in its outputs.
    std::vector<std::pair<QString, std::int64_t>> faultySamples_;
    // Per row of the current file, where its end cut went when cuts were
    // moved to silences; kept beside the piece's own note.
    std::vector<QString> cutNotes_;
    // The sheet's other fields, the cover and the loudness of the pieces.
    PieceExtras extras_;
    LoudnessMeter* meter_ = nullptr; // of the piece written in turn
};
