#pragma once

#include "core/CueSheet.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

// The command line of tarnwell-cli, read with CLI11: the subcommand, its
// files and every option, checked before any file is touched.
class CommandLine {
public:
    enum class Command { Split, Join, Info };

    // One range in whole seconds, as --segments gives it.
    struct Segment {
        std::int32_t begin = 0;
        std::int32_t end = 0;
    };

    struct Options {
        Command command = Command::Info;
        QStringList files;
        // One of the three ways to cut; a join without any takes whole files.
        int seconds = 0;
        int count = 0;
        std::vector<Segment> segments;
        bool unify = false;
        // Pieces between silences, or time cuts moved to a silence within
        // `snap` seconds; the silence is below `threshold` dBFS for at least
        // `minSilenceMs`, and silence pieces last `minPiece` seconds at least.
        bool silence = false;
        std::optional<int> snap;
        std::optional<int> threshold;
        std::optional<int> minSilenceMs;
        std::optional<int> minPiece;
        QString joinName;
        int format = 0; // a position in OutputFormats
        QString outDir; // empty: the settings file's output folder
        std::optional<int> fadeIn;
        std::optional<int> fadeOut;
        QString settings; // empty: the program's own settings file
        bool dryRun = false;
        bool quiet = false;
        bool json = false;
        std::optional<bool> copy;
        // --replaygain: track and album gain tags; empty: the settings file's.
        std::optional<bool> replayGain;
        // Pieces marked by another program: a cue sheet, a label file, or
        // the source's own chapters; each at its exact frames, with a title.
        QString cue;
        // Cut at the cue sheet each file carries inside (--cue-from-file, or
        // --cue without a sheet).
        bool cueFromFile = false;
        // The cue sheet's encoding; empty: the one found in it. Where the
        // audio before its first track goes.
        QString cueEncoding;
        CueSheet::Pregap pregap = CueSheet::Pregap::First;
        QString labels;
        bool chapters = false;
        // How outputs are named; empty: "NN - Title" for pieces with titles.
        QString pattern;
        // Where a dry run writes the planned pieces.
        QString exportCue;
        QString exportLabels;

        bool marked() const {
            return !cue.isEmpty() || cueFromFile || !labels.isEmpty() || chapters;
        }

        // The window's function choice the options stand for.
        std::int32_t functionChoice() const;
    };

    // Exit status for a usage error.
    static constexpr int UsageError = 2;

    // Reads the arguments into `options`. Returns the exit status when the
    // tool ends here: 0 after --help, UsageError after a message on
    // standard error.
    static std::optional<int> Parse(int argc, const char* const* argv, Options& options);

    // "90", "1:30" or "1:01:30" as whole seconds; nothing when malformed.
    static std::optional<std::int32_t> ParseTime(const QString& text);
    // "0:10-0:40,1:00-1:30"; on failure `error` says what is wrong.
    static std::optional<std::vector<Segment>> ParseSegments(const QString& text, QString& error);
};
