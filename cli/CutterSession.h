#pragma once

#include "cli/CommandLine.h"
#include "cli/ConsoleDesktop.h"
#include "cli/ConsoleRunHost.h"
#include "cli/Reporter.h"
#include "core/AppState.h"
#include "core/Segments.h"
#include "engine/ContextRunSteps.h"
#include "engine/GivenNames.h"
#include "engine/PiecePlan.h"
#include "engine/RunCommand.h"
#include "engine/RunContext.h"
#include "engine/RunControl.h"
#include "engine/SilenceFinder.h"
#include "engine/SourceIntake.h"
#include "engine/audio/AudioFile2.h"
#include "engine/audio/AudioFile2LameEnc.h"
#include "engine/audio/AudioTransform2.h"
#include "platform/SettingsFile.h"

#include <QSet>

#include <memory>
#include <vector>

// One run of tarnwell-cli: the window's job model, audio components and
// commands without the window. Files are added by the same intake rules as
// the window's open dialog, and cut by the same split and join commands;
// what would be a message box is a line on standard error.
class CutterSession {
public:
    // Exit statuses besides 0 and CommandLine::UsageError.
    static constexpr int SomeFailed = 1;
    static constexpr int Interrupted = 130;

    CutterSession(CommandLine::Options options, QString settingsPath);
    ~CutterSession();
    CutterSession(const CutterSession&) = delete;
    CutterSession& operator=(const CutterSession&) = delete;

    // Carries out the command; returns the exit status.
    int run();
    // Ctrl-C or SIGTERM: the run ends as with the Stop button, pieces written
    // so far complete; no further file is started.
    void stop();

private:
    // A file the list took, as added.
    using Source = listrecord;

    int info();
    int split();
    int join();
    // Adds the files; the ones refused are counted as failed.
    void addFiles();
    // The main settings, then the options over them.
    void applyOptions();
    // Puts exactly `sources` on the list, with the segments of the options.
    void loadList(const std::vector<Source>& sources);
    // The --segments ranges that lie in a file, cut at its end; those that
    // begin after it are left out, with a note when `report` is on.
    std::vector<CommandLine::Segment> segmentsIn(const listrecord& record,
                                                 bool report = true) const;
    void setSegments(listrecord& record, const std::vector<CommandLine::Segment>& segments) const;
    // The pieces a split (or, with `split` off, a join) cuts from `source`,
    // as the run will cut them; those of no length are left out.
    std::vector<PiecePlan::Piece> piecesOf(const Source& source, bool split);
    // The silence levels: the settings file's, then the command line's.
    SilenceParams silenceLevels() const;
    // Puts the pieces the cue sheet, labels or chapters of the options mark
    // in `record`'s file into it; throws Error when there are none. Tracks
    // of the sheet that are not in the file are told as warnings when
    // `report` is on (the plan reads the sheet again, without).
    void markPieces(listrecord& record, bool report = false);
    // The output path a piece of the plan is given, as the run names it.
    QString plannedPath(const Source& source, const listrecord& record,
                        const PiecePlan::Piece& piece, GivenNames& planned) const;
    // A piece of the plan as the outcome of a dry run.
    RunOutcome::Piece plannedPiece(const listrecord& record, const PiecePlan::Piece& piece,
                                   const QString& path) const;
    void listPlannedSplit();
    int listPlannedJoin(const QString& output);
    int finish(int done, int pieces);
    // Whether Ctrl-C or SIGTERM has come; the tool then starts nothing more.
    bool stopped();
    void say(const QString& text) const;
    void fail(const QString& text);
    // A note on standard error; the tool then ends with status 1.
    void warn(const QString& text);

    CommandLine::Options options_;
    ConsoleDesktop desktop_;
    AppState state_;
    SourceIntake intake_;
    AudioFile2 reader_;
    AudioFile2 writer_;
    AudioFile2LameEnc encoder_;
    AudioTransform2 transform_;
    SettingsFile settings_;
    ConsoleRunHost host_;
    // Set by Stop and, from the signal handler, by Ctrl-C and SIGTERM.
    RunControl control_;
    RunContext context_;
    ContextRunSteps steps_{context_};
    RunCommand command_;

    std::vector<Source> sources_;
    // Prints what was planned or done, as text or as JSON.
    std::unique_ptr<Reporter> reporter_;
    int failed_ = 0;
    int warned_ = 0;
    bool interrupted_ = false;
};
