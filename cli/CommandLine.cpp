#include "cli/CommandLine.h"

#include "core/AppState.h"
#include "core/TextEncoding.h"
#include "engine/OutputFormats.h"
#include "engine/OutputNames.h"
#include "engine/SourceIntake.h"

#include <CLI/CLI.hpp>

#include <QRegularExpression>

#include <algorithm>
#include <charconv>
#include <iostream>
#include <string>

namespace {

// "a, b or c"
std::string inWords(const QStringList& names) {
    if (names.size() < 2)
        return names.join(QString()).toStdString();
    return (names.mid(0, names.size() - 1).join(QStringLiteral(", ")) + QStringLiteral(" or ") +
            names.back())
        .toStdString();
}

// Whole numbers of at least `least`. CLI11's own number checks answer a word
// with the range of a double, which tells the user nothing.
CLI::Validator wholeNumber(int least) {
    const std::string wanted = least > 0 ? "a whole number above 0" : "a whole number, 0 or more";
    return CLI::Validator(
        [least, wanted](std::string& text) -> std::string {
            int value = 0;
            const char* end = text.data() + text.size();
            const auto [stop, error] = std::from_chars(text.data(), end, value);
            if (error != std::errc() || stop != end || value < least)
                return "'" + text + "' is not " + wanted;
            return {};
        },
        wanted);
}

// The options split and join share.
struct Shared {
    std::string format;
    std::string outDir;
    int fadeIn = -1;
    int fadeOut = -1;
    std::string settings;
    bool dryRun = false;
    bool quiet = false;
    bool copy = false;
    bool noCopy = false;
    int seconds = 0;
    int count = 0;
    std::string segments;
    bool unify = false;
    bool silence = false;
    int snap = -1;
    int threshold = 1; // above 0: not given
    double minSilence = -1;
    int minPiece = -1;
    std::string cue;
    bool cueFromFile = false;
    std::string cueEncoding;
    std::string pregap = "first";
    std::string labels;
    bool chapters = false;
    std::string pattern;
    std::string exportCue;
    std::string exportLabels;
    bool json = false;
    bool replayGain = false;
};

// Decibels below full scale: 0 or a negative whole number.
CLI::Validator decibels() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            int value = 0;
            const char* end = text.data() + text.size();
            const auto [stop, error] = std::from_chars(text.data(), end, value);
            if (error != std::errc() || stop != end || value > 0 || value < -120)
                return "'" + text + "' is not a level from -120 to 0 dB";
            return {};
        },
        "-120 to 0");
}

// Seconds with a fraction, above 0.
CLI::Validator positiveSeconds() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            double value = 0;
            const char* end = text.data() + text.size();
            const auto [stop, error] = std::from_chars(text.data(), end, value);
            if (error != std::errc() || stop != end || !(value > 0) || value > 3600)
                return "'" + text + "' is not a number of seconds above 0";
            return {};
        },
        "seconds above 0");
}

// An encoding name iconv or Qt knows.
CLI::Validator textEncoding() {
    return CLI::Validator(
        [](std::string& text) -> std::string {
            if (TextEncoding::IsKnown(QString::fromStdString(text)))
                return {};
            return "'" + text + "' is not a text encoding this system knows";
        },
        "an encoding iconv knows");
}

// How silences are found; `info` takes these too.
void addSilenceLevels(CLI::App& command, Shared& shared) {
    command
        .add_option("--threshold", shared.threshold,
                    "A silence is quieter than DB dBFS (default: the settings file's, -40)")
        ->type_name("DB")
        ->check(decibels());
    command
        .add_option("--min-silence", shared.minSilence,
                    "A silence lasts at least SECONDS (default: the settings file's, 1.0)")
        ->type_name("SECONDS")
        ->check(positiveSeconds());
}

void addCutOptions(CLI::App& command, Shared& shared, bool join) {
    auto* time = command.add_option("--time", shared.seconds,
                                    join ? "Join every file whole (as with --count)"
                                         : "Cut every file into pieces of SECONDS seconds");
    time->type_name("SECONDS")->check(wholeNumber(1));
    auto* count = command.add_option("--count", shared.count,
                                     join ? "Join every file whole (as with --time)"
                                          : "Cut every file into N equal pieces");
    count->type_name("N")->check(wholeNumber(1));
    auto* segments = command.add_option(
        "--segments", shared.segments,
        "The ranges to cut, as \"0:10-0:40,1:00-1:30\" ([[h:]m:]s, whole seconds)");
    segments->type_name("RANGES");
    auto* unify =
        command.add_flag("--unify", shared.unify,
                         "Cut the same --segments out of every file, each file's own name "
                         "numbered (the window's unification); without it the first piece of "
                         "each file keeps the file's name");
    time->excludes(count)->excludes(segments);
    count->excludes(segments);
    unify->needs(segments);
    if (!join) {
        auto* silence = command.add_flag(
            "--silence", shared.silence,
            "Cut every file between its silences, each cut in the middle of a silence");
        silence->excludes(time)->excludes(count)->excludes(segments);
        auto* cue = command.add_option("--cue", shared.cue,
                                       "Cut the tracks of a cue sheet, each at its exact frame "
                                       "and with its title; without FILE, the sheet each file "
                                       "carries inside (as --cue-from-file)");
        cue->type_name("[FILE]")->expected(0, 1)->check(CLI::ExistingFile);
        auto* inside = command.add_flag(
            "--cue-from-file", shared.cueFromFile,
            "Cut the tracks of the cue sheet each file carries inside (a FLAC CUESHEET block, "
            "a CUESHEET comment, a WavPack or APE Cuesheet tag)");
        inside->excludes(cue);
        command
            .add_option("--cue-encoding", shared.cueEncoding,
                        "With --cue: read the sheet in encoding NAME, e.g. UTF-8, WINDOWS-1251, "
                        "SHIFT_JIS, GB18030 (default: the one found in the sheet)")
            ->type_name("NAME")
            ->check(textEncoding())
            ->needs(cue);
        command
            .add_option("--pregap", shared.pregap,
                        "With --cue: the audio before the first track goes into track 1 "
                        "(first, the default), into a piece of its own numbered 0 (own), or "
                        "nowhere (drop)")
            ->type_name("WHERE")
            ->transform(CLI::IsMember({"first", "own", "drop"}, CLI::ignore_case));
        auto* labels = command.add_option(
            "--labels", shared.labels,
            "Cut at the labels of a label file (start<TAB>end<TAB>label, seconds)");
        labels->type_name("FILE")->check(CLI::ExistingFile);
        auto* chapters = command.add_flag("--chapters", shared.chapters,
                                          "Cut every file at the chapters it carries");
        for (CLI::Option* way : {cue, inside, labels, chapters}) {
            way->excludes(time)->excludes(count)->excludes(segments)->excludes(silence);
            for (CLI::Option* other : {cue, inside, labels, chapters})
                if (other != way)
                    way->excludes(other);
        }
        command
            .add_option("--name", shared.pattern,
                        "Name the outputs by TEMPLATE: {n}, {n:02}, {title}, {artist}, {album}, "
                        "{source}, {begin}; a \"/\" makes a folder, as in "
                        "\"{artist}/{album}/{n:02} {title}\" (default for pieces with titles: "
                        "the settings file's, else \"{n:02} - {title}\")")
            ->type_name("TEMPLATE");
        command
            .add_option("--min-piece", shared.minPiece,
                        "With --silence: shorter pieces join the next one (seconds; default: "
                        "the settings file's, 5)")
            ->type_name("SECONDS")
            ->check(wholeNumber(0))
            ->needs(silence);
        command
            .add_option("--snap", shared.snap,
                        "With --time: move each cut to the nearest silence within SECONDS; "
                        "a cut with no silence that near stays, and says so")
            ->type_name("SECONDS")
            ->check(wholeNumber(1))
            ->needs(time);
        addSilenceLevels(command, shared);
        command.add_flag("--replaygain", shared.replayGain,
                         "Tag every piece with its ReplayGain track gain and peak, and the gain "
                         "of all pieces of its file as the album (default: as the settings file "
                         "says)");
    }

    std::vector<std::string> formats;
    for (const QString& id : OutputFormats::Ids())
        formats.push_back(id.toStdString());
    command
        .add_option("--format", shared.format,
                    "Output format: " + inWords(OutputFormats::Ids()) + " (default " +
                        formats.front() + ")")
        ->type_name("FORMAT")
        ->transform(CLI::IsMember(formats, CLI::ignore_case));
    command
        .add_option("--out", shared.outDir,
                    "Output folder (default: the output folder of the settings file)")
        ->type_name("DIR");
    command.add_option("--fade-in", shared.fadeIn, "Fade every piece in over SECONDS seconds")
        ->type_name("SECONDS")
        ->check(wholeNumber(0));
    command.add_option("--fade-out", shared.fadeOut, "Fade every piece out over SECONDS seconds")
        ->type_name("SECONDS")
        ->check(wholeNumber(0));
    command
        .add_option("--settings", shared.settings,
                    "Settings file for the encoders (default: the program's Velmora.ini)")
        ->type_name("FILE")
        ->check(CLI::ExistingFile);
    command.add_flag("--dry-run", shared.dryRun,
                     "List each planned piece and its output name; write nothing");
    command.add_flag("-q,--quiet", shared.quiet, "Print errors only");
    command.add_flag("--json", shared.json,
                     "Print one JSON object per output: source, range, path, title, track, "
                     "how it was made, status");
    if (!join) {
        auto* dryRun = command.get_option("--dry-run");
        command
            .add_option("--export-cue", shared.exportCue,
                        "With --dry-run: write the planned pieces as a cue sheet")
            ->type_name("FILE")
            ->needs(dryRun);
        command
            .add_option("--export-labels", shared.exportLabels,
                        "With --dry-run: write the planned pieces as a label file")
            ->type_name("FILE")
            ->needs(dryRun);
    }
    QStringList copying;
    for (const OutputFormat& format : OutputFormats::All())
        if (format.copy)
            copying.append(format.label);
    auto* copy = command.add_flag("--copy", shared.copy,
                                  inWords(copying) +
                                      " output: copy the source's packets where nothing changes "
                                      "the audio (default: as the settings file says)");
    auto* noCopy = command.add_flag("--no-copy", shared.noCopy,
                                    inWords(copying) + " output: always encode anew");
    copy->excludes(noCopy);
}

void fileArguments(CLI::App& command, std::vector<std::string>& files) {
    command
        .add_option("FILES", files,
                    "Source audio files (Ogg Vorbis, Opus, MP3, FLAC, WAV, AIFF, M4A)")
        ->required();
}

QStringList toQStrings(const std::vector<std::string>& values) {
    QStringList list;
    for (const std::string& value : values)
        list.append(QString::fromStdString(value));
    return list;
}

// How every usage error reads, the parser's own and ours.
std::string usageText(const std::string& message) {
    return "tarnwell-cli: " + message + "\nRun with --help for more information.\n";
}

int usageError(const QString& message) {
    std::cerr << usageText(message.toStdString());
    return CommandLine::UsageError;
}

} // namespace

std::int32_t CommandLine::Options::functionChoice() const {
    if (silence)
        return FunctionSplitAtSilences;
    if (marked())
        return FunctionCustom;
    if (!segments.empty())
        return unify ? FunctionUnification : FunctionCustom;
    if (count > 0)
        return FunctionSplitByCount;
    return FunctionSplitByTime;
}

std::optional<int> CommandLine::Parse(int argc, const char* const* argv, Options& options) {
    CLI::App app{"Cuts audio files into pieces, or joins them, as " +
                     inWords(OutputFormats::Labels()) + ", with the encoder settings of Tarnwell.",
                 "tarnwell-cli"};
    app.require_subcommand(1);
    app.set_version_flag("--version", "tarnwell-cli " TARNWELL_VERSION, "Show the version and end");
    app.failure_message([](const CLI::App*, const CLI::Error& e) { return usageText(e.what()); });
    app.footer("Exit status: 0 when every file was done, 1 when some failed, 2 for a usage "
               "error, 130 when stopped by Ctrl-C.");

    std::vector<std::string> files;
    Shared shared;
    std::string joinName;
    bool json = false;

    CLI::App* split = app.add_subcommand(
        "split", "Cut every file into pieces, each written to its own file in the output folder");
    fileArguments(*split, files);
    // A bare --cue before the files takes the first one; it is given back.
    split->get_option("FILES")->required(false);
    addCutOptions(*split, shared, false);

    CLI::App* join =
        app.add_subcommand("join", "Join the chosen audio of every file, in order, into one file");
    fileArguments(*join, files);
    join->add_option("-o,--output", joinName,
                     "Name of the joined file; without a folder it goes into the output folder")
        ->type_name("NAME")
        ->required();
    addCutOptions(*join, shared, true);

    CLI::App* info = app.add_subcommand(
        "info", "Show length, sample rate, channels and tags of every file as Tarnwell reads them");
    fileArguments(*info, files);
    info->add_flag("--json", json, "Print the information as JSON");
    addSilenceLevels(*info, shared);

    try {
        app.parse(argc, argv);
    } catch (const CLI::ParseError& e) {
        if (e.get_exit_code() == 0)
            return app.exit(e);
        app.exit(e);
        return UsageError;
    }

    options.files = toQStrings(files);
    options.json = json || shared.json;
    if (shared.threshold <= 0)
        options.threshold = shared.threshold;
    if (shared.minSilence > 0)
        options.minSilenceMs = static_cast<int>(shared.minSilence * 1000 + 0.5);
    if (info->parsed()) {
        options.command = Command::Info;
        return std::nullopt;
    }
    options.command = split->parsed() ? Command::Split : Command::Join;
    options.joinName = QString::fromStdString(joinName);
    options.cue = QString::fromStdString(shared.cue);
    if (split->parsed()) {
        // A bare --cue may have taken the first file for its sheet.
        const bool given = split->get_option("--cue")->count() > 0;
        if (given && (options.cue.isEmpty() || SourceIntake::IsAudioFile(options.cue))) {
            if (!options.cue.isEmpty())
                options.files.prepend(options.cue);
            options.cue.clear();
            options.cueFromFile = true;
        }
        options.cueFromFile = options.cueFromFile || shared.cueFromFile;
        if (split->get_option("--pregap")->count() > 0 && options.cue.isEmpty() &&
            !options.cueFromFile)
            return usageError(QStringLiteral("--pregap requires --cue"));
    }
    if (options.files.isEmpty())
        return usageError(QStringLiteral("FILES is required"));
    options.cueEncoding = QString::fromStdString(shared.cueEncoding);
    const QString pregap = QString::fromStdString(shared.pregap).toLower();
    options.pregap = pregap == QLatin1String("own")    ? CueSheet::Pregap::Own
                     : pregap == QLatin1String("drop") ? CueSheet::Pregap::Drop
                                                       : CueSheet::Pregap::First;
    options.labels = QString::fromStdString(shared.labels);
    options.chapters = shared.chapters;
    options.pattern = QString::fromStdString(shared.pattern);
    // The window's own rule and message for a template that names nothing.
    if (const QString fault = OutputNames::PatternFault(options.pattern); !fault.isEmpty())
        return usageError(QStringLiteral("--name: ") + fault);
    options.exportCue = QString::fromStdString(shared.exportCue);
    options.exportLabels = QString::fromStdString(shared.exportLabels);
    options.seconds = shared.seconds;
    options.count = shared.count;
    options.unify = shared.unify;
    options.silence = shared.silence;
    if (shared.snap > 0)
        options.snap = shared.snap;
    if (shared.minPiece >= 0)
        options.minPiece = shared.minPiece;
    if (!shared.segments.empty()) {
        QString error;
        const auto segments = ParseSegments(QString::fromStdString(shared.segments), error);
        if (!segments)
            return usageError(error);
        options.segments = *segments;
    }
    if (options.command == Command::Split && options.seconds == 0 && options.count == 0 &&
        options.segments.empty() && !options.silence && !options.marked())
        return usageError(QStringLiteral("split needs one of --time, --count, --segments, "
                                         "--silence, --cue, --labels or --chapters"));
    if ((!options.exportCue.isEmpty() || !options.exportLabels.isEmpty()) &&
        options.files.size() != 1)
        return usageError(QStringLiteral("--export-cue and --export-labels take one file"));
    options.format = std::max(0, OutputFormats::IndexOf(QString::fromStdString(shared.format)));
    options.outDir = QString::fromStdString(shared.outDir);
    if (shared.fadeIn >= 0)
        options.fadeIn = shared.fadeIn;
    if (shared.fadeOut >= 0)
        options.fadeOut = shared.fadeOut;
    options.settings = QString::fromStdString(shared.settings);
    options.dryRun = shared.dryRun;
    options.quiet = shared.quiet;
    if (shared.replayGain)
        options.replayGain = true;
    if (shared.copy)
        options.copy = true;
    else if (shared.noCopy)
        options.copy = false;
    return std::nullopt;
}

std::optional<std::int32_t> CommandLine::ParseTime(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral("^(?:(?:(\\d{1,5}):)?(\\d{1,5}):)?(\\d{1,7})$"));
    const QRegularExpressionMatch match = form.match(text.trimmed());
    if (!match.hasMatch())
        return std::nullopt;
    const bool hasHours = match.capturedLength(1) > 0;
    const bool hasMinutes = match.capturedLength(2) > 0;
    const qint64 hours = match.captured(1).toLongLong();
    const qint64 minutes = match.captured(2).toLongLong();
    const qint64 seconds = match.captured(3).toLongLong();
    // Below the first field the usual clock limits hold.
    if ((hasMinutes && seconds >= 60) || (hasHours && minutes >= 60))
        return std::nullopt;
    const qint64 total = hours * 3600 + minutes * 60 + seconds;
    // Times are whole seconds and every conversion to frames is 64-bit, so
    // any time a 32-bit second count holds is fine (68 years).
    if (total > INT32_MAX)
        return std::nullopt;
    return static_cast<std::int32_t>(total);
}

std::optional<std::vector<CommandLine::Segment>> CommandLine::ParseSegments(const QString& text,
                                                                            QString& error) {
    std::vector<Segment> segments;
    for (const QString& range : text.split(QLatin1Char(','))) {
        const QStringList ends = range.split(QLatin1Char('-'));
        const auto begin = ends.size() == 2 ? ParseTime(ends[0]) : std::nullopt;
        const auto end = ends.size() == 2 ? ParseTime(ends[1]) : std::nullopt;
        if (!begin || !end) {
            error = QStringLiteral("--segments: \"%1\" is not a range like 0:10-0:40")
                        .arg(range.trimmed());
            return std::nullopt;
        }
        if (*end <= *begin) {
            error = QStringLiteral("--segments: \"%1\" does not end after it begins")
                        .arg(range.trimmed());
            return std::nullopt;
        }
        segments.push_back({*begin, *end});
    }
    return segments;
}
