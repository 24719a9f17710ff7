#pragma once

#include "engine/RunContext.h"

#include <QString>

#include <cstdint>

// The three join runs: the chosen audio of every file, in list order, goes
// into one output file named in the save dialog, converted to the first
// file's rate and channels. Progress, stop and the segment list's working row
// behave as in the split runs; the joined file gets no tags.
class JoinRun {
public:
    // The save dialog's answer: the output path (extension included) and the
    // filter position 1..4 (MP3, WAV, WMA, OGG).
    struct Output {
        QString path;
        int filterIndex = 1;
    };

    static const QString Filter;

    explicit JoinRun(RunContext& context);

    // False when the list is empty, the dialog is cancelled, the name is one
    // of the files being joined, or the user does not want an existing file
    // replaced. Otherwise the format box takes the chosen format.
    bool ChooseJoinOutput(Output& chosen);

    void RunCustomJoin(const Output& output);
    void RunWholeJoin(const Output& output);
    void UnifiAudoJoiner(const Output& output);
    // The join of the current function choice.
    void RunJoin(const Output& output);

    // The whole join command once the preview is stopped: dialog, run, then
    // `Busy` cleared and the output folder opened. Nothing while busy.
    void Join();

private:
    enum class Kind { Custom, Whole, Unified };

    void run(Kind kind, const Output& output);
    qint64 total(Kind kind) const;
    void joinFile(Kind kind, int file);
    void copyBlocks(Kind kind, qint64 start, qint64 end);
    void showProgress();

    RunContext& c_;
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
    std::int32_t fadeInLen_ = 0;
    std::int32_t fadeOutLen_ = 0;
    // Frames left when the fade-out began; its ramp runs over exactly these.
    qint64 fadeSpan_ = 0;
};
