#pragma once

#include "engine/PiecePlan.h"
#include "engine/RunContext.h"
#include "engine/RunOutcome.h"
#include "engine/RunRequest.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// The join runs: the chosen audio of every file, in list order, goes into one
// output file named in the save dialog, converted to the first file's rate
// and channels. The modes that cut segments join the pieces the plan gives
// (each file's own, or the first file's cut from every file); the others
// join whole files. Progress, stop and the segment list's working row
// behave as in the split runs; the joined file gets no tags. Like every
// output it is written under a temporary name and named only when complete.
class JoinRun {
public:
    // The save dialog's answer: the output path (extension included) and the
    // filter position, 1 for the first of the output formats.
    struct Output {
        QString path;
        int filterIndex = 1;
        // The user agreed to replace the file there.
        bool replace = false;
    };

    static const QString Filter;

    explicit JoinRun(RunContext& context);

    // False when the list is empty, the dialog is cancelled, the name is one
    // of the files being joined, or the user does not want an existing file
    // replaced. Otherwise the format box takes the chosen format.
    bool ChooseJoinOutput(Output& chosen);

    // Whether a joined file may be written at `path`: never over one of
    // `sources` (`refusal` says why), over a file already there only when
    // the user agrees.
    struct NameCheck {
        QString refusal;
        bool exists = false;
    };
    static NameCheck CheckName(const QString& path, const QStringList& sources);

    // Joins the files of `request` into `output`; never throws. The outcome
    // holds the one output, the messages for the user and any failure.
    // Reads nothing but the request, and the context's components, host and
    // control, so it may run on a thread of its own.
    RunOutcome Join(PiecePlan::Mode mode, const Output& output, RunRequest request);

    // The join as the front ends give it: the request read from the state
    // and the host, the outcome's messages shown, a failure thrown.
    void Run(PiecePlan::Mode mode, const Output& output);

private:
    // The pieces of `file` the join takes; whole files take none.
    std::vector<PiecePlan::Piece> piecesOf(int file) const;
    // Frames of the whole join, in each file's own frames; fills fileFrames_.
    qint64 total();
    // Reads every file's rate to know the join's length in output frames.
    void planFadeOut(int files);
    // Output frames as frames of the current file.
    double sourceFrames(qint64 outputFrames) const;
    void joinFile(int file);
    // Returns the source frame it reached; a whole file is read to its end.
    qint64 copyBlocks(qint64 start, qint64 end);
    void showProgress();
    // A checkpoint: the host's, then whether the run goes on (not stopped).
    bool goOn();

    RunContext& c_;
    RunRequest request_;
    PiecePlan::Function function_;
    // Whole files are joined, not pieces of them.
    bool whole_ = false;
    // The output format: the first file's.
    int R0 = 0;
    int C0 = 0;
    // Frames of the whole join, and frames done.
    qint64 T = 0;
    qint64 W = 0;
    // The current file, and its rate against the output's.
    QString source_;
    double ratio_ = 1.0;
    bool up_ = true;
    qint64 fadeInLen_ = 0;
    // What of each source the output holds so far.
    std::vector<RunOutcome::Range> joined_;
    // Each file's share of T.
    std::vector<qint64> fileFrames_;
    // The fade-out in output frames: its length, the join's length, the
    // frames written so far, and the frames left when it began (its ramp
    // runs over exactly these).
    qint64 fadeOutFrames_ = 0;
    qint64 outputTotal_ = 0;
    qint64 written_ = 0;
    qint64 fadeSpan_ = 0;
};
