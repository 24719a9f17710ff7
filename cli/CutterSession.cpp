#include "cli/CutterSession.h"

#include "cli/JsonReporter.h"
#include "cli/TextReporter.h"
#include "core/FramePosition.h"
#include "core/RecordPieces.h"
#include "engine/JoinRun.h"
#include "engine/MainSettings.h"
#include "engine/OutputFormats.h"
#include "engine/OutputNames.h"
#include "engine/PendingOutput.h"
#include "engine/RunSupport.h"
#include "engine/SegmentFiles.h"
#include "engine/audio/PeakScanner.h"
#include "platform/Error.h"
#include "platform/FormatTime.h"
#include "platform/TerminationSignal.h"
#include "tags/SourceTags.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <unistd.h>

#include <algorithm>
#include <utility>

namespace {

QString range(std::int32_t begin, std::int32_t end) {
    return FormatTime(begin) + QLatin1Char('-') + FormatTime(end);
}

void print(const QString& text) {
    Reporter::Print(text);
}

// A file none of whose --segments lies inside it: nothing to cut.
QString nothingInside(const QString& file) {
    return QStringLiteral("%1: every segment begins after the file's end")
        .arg(QFileInfo(file).fileName());
}

// Silences in seconds, for --json.
QJsonArray silenceArray(const std::vector<Silence>& silences) {
    QJsonArray all;
    for (const Silence& s : silences)
        all.append(
            QJsonObject{{"begin", double(s.beginMs) / 1000}, {"end", double(s.endMs) / 1000}});
    return all;
}

} // namespace

CutterSession::CutterSession(CommandLine::Options options, QString settingsPath)
    : options_(std::move(options)), intake_(ReadSourceTags), settings_(std::move(settingsPath)),
      host_(!options_.quiet && isatty(STDERR_FILENO)), context_{state_,   reader_,    writer_,
                                                                encoder_, transform_, settings_,
                                                                desktop_, host_,      control_},
      command_(state_, host_, desktop_, steps_, control_),
      reporter_(options_.json ? std::unique_ptr<Reporter>(std::make_unique<JsonReporter>())
                              : std::make_unique<TextReporter>(options_.quiet)) {
    // A failed run needs no Stop here: the tool goes on with the next file.
    command_.setStopHint(QString());
    // A run under way stops at its next checkpoint, with no event loop
    // turning.
    TerminationSignal::Raises(&control_.flag());
    reader_.SetActive(true);
    writer_.SetActive(true);
}

CutterSession::~CutterSession() {
    TerminationSignal::Raises(nullptr);
}

int CutterSession::run() {
    // A settings file that cannot be read would cut with settings the user
    // did not choose.
    if (const QString problem = settings_.problem(); !problem.isEmpty()) {
        ConsoleDesktop::printError(problem);
        return SomeFailed;
    }
    switch (options_.command) {
    case CommandLine::Command::Info:
        return info();
    case CommandLine::Command::Split:
        return split();
    case CommandLine::Command::Join:
        return join();
    }
    return CommandLine::UsageError;
}

void CutterSession::stop() {
    interrupted_ = true;
    command_.Stop();
}

bool CutterSession::stopped() {
    // The signal handler has stopped a run under way already; between runs
    // the session looks here before it starts the next.
    if (TerminationSignal::Requested())
        interrupted_ = true;
    return interrupted_;
}

void CutterSession::say(const QString& text) const {
    // With --json, standard output holds the JSON alone.
    if (!options_.quiet && !options_.json)
        print(text);
}

void CutterSession::fail(const QString& text) {
    host_.clearLine();
    ConsoleDesktop::printError(text);
    ++failed_;
}

void CutterSession::warn(const QString& text) {
    host_.clearLine();
    desktop_.warning(text);
    ++warned_;
}

void CutterSession::addFiles() {
    for (const QString& file : options_.files) {
        if (stopped())
            return;
        // A folder is offered too, and refused as the window refuses it.
        if (!QFileInfo(file).exists()) {
            fail(QStringLiteral("%1: no such file").arg(file));
            continue;
        }
        const QString path = QDir::cleanPath(QFileInfo(file).absoluteFilePath());
        const SourceIntake::Result taken =
            intake_.Take(path, reader_, SourceIntake::Source::OpenDialog);
        if (!taken.job) {
            // An opening cut short by Ctrl-C is no refusal.
            if (stopped())
                return;
            desktop_.warning(taken.refusal.message, taken.refusal.reason);
            ++failed_;
            continue;
        }
        sources_.push_back(*taken.job);
    }
}

int CutterSession::info() {
    MainSettings::Read(state_, settings_); // the silence levels the window uses
    addFiles();
    QJsonArray all;
    for (const Source& source : sources_) {
        if (stopped())
            return Interrupted;
        const listrecord& record = source;
        int rate = 0;
        int channels = 0;
        try {
            reader_.Open(record.FileName, 0, 1);
            rate = reader_.SampleRate();
            channels = reader_.Channels();
            reader_.Close();
        } catch (const Error& e) {
            RunSupport::CloseQuietly(reader_);
            fail(e.message());
            continue;
        }
        const double seconds = FramePosition::Seconds(record.SampleCount, rate);
        std::vector<Silence> silences;
        try {
            silences = SilenceFinder::Find(PeakScanner::Scan(record.FileName), silenceLevels());
        } catch (const Error& e) {
            fail(e.message());
            continue;
        }
        const auto silenceText = [](const Silence& s) {
            return QStringLiteral("%1-%2")
                .arg(double(s.beginMs) / 1000, 0, 'f', 2)
                .arg(double(s.endMs) / 1000, 0, 'f', 2);
        };
        const AudioFileinfo& tags = source.Tags;
        const std::pair<const char*, QString> fields[] = {
            {"title", tags.Title}, {"artist", tags.Artist}, {"album", tags.Album},
            {"year", tags.Year},   {"genre", tags.Genre},   {"comment", tags.Comment},
        };
        if (options_.json) {
            QJsonObject tagObject;
            for (const auto& [key, value] : fields)
                tagObject.insert(QLatin1String(key), value);
            all.append(QJsonObject{{"file", record.FileName},
                                   {"name", source.Caption},
                                   {"length", FormatTime(record.Duration)},
                                   {"seconds", seconds},
                                   {"frames", qint64{record.SampleCount}},
                                   {"rate", rate},
                                   {"channels", channels},
                                   {"tags", tagObject},
                                   {"silences", silenceArray(silences)}});
            continue;
        }
        print(record.FileName);
        print(QStringLiteral("  length:   %1 (%2 s, %3 frames)")
                  .arg(FormatTime(record.Duration))
                  .arg(seconds, 0, 'f', 3)
                  .arg(record.SampleCount));
        print(QStringLiteral("  rate:     %1 Hz").arg(rate));
        print(QStringLiteral("  channels: %1").arg(channels));
        for (const auto& [key, value] : fields)
            print(QStringLiteral("  %1%2")
                      .arg(QLatin1String(key) + QLatin1Char(':'), -10)
                      .arg(value));
        QStringList spans;
        for (const Silence& s : silences)
            spans.append(silenceText(s));
        print(
            QStringLiteral("  silences: %1 (seconds)")
                .arg(spans.isEmpty() ? QStringLiteral("none") : spans.join(QStringLiteral(", "))));
    }
    if (options_.json)
        print(QString::fromUtf8(QJsonDocument(all).toJson(QJsonDocument::Indented)).trimmed());
    return failed_ > 0 ? SomeFailed : 0;
}

void CutterSession::applyOptions() {
    MainSettings::Read(state_, settings_);
    state_.FunctionChoice = options_.functionChoice();
    if (options_.seconds > 0)
        state_.SplitSeconds = options_.seconds;
    if (options_.count > 0)
        state_.SplitCount = options_.count;
    // Fades only where the command line asks for them: a script should not
    // change with what was last chosen in the window.
    state_.FadeIn = options_.fadeIn.value_or(0) > 0;
    state_.FadeInSeconds = options_.fadeIn.value_or(0);
    state_.FadeOut = options_.fadeOut.value_or(0) > 0;
    state_.FadeOutSeconds = options_.fadeOut.value_or(0);
    if (!options_.outDir.isEmpty())
        state_.OutputDir = OutputNames::Folder(QDir(options_.outDir).absolutePath());
    state_.OggCopy = options_.copy;
    state_.ReplayGain = options_.replayGain;
    state_.PiecePattern = options_.pattern;
    host_.setFormatIndex(options_.format);
    if (options_.threshold)
        state_.SilenceThreshold = *options_.threshold;
    if (options_.minSilenceMs)
        state_.SilenceMinimumMs = *options_.minSilenceMs;
    if (options_.minPiece)
        state_.SilenceMinimumPiece = *options_.minPiece;
    // Cuts move to silences only where the command line asks for it, as
    // with the fades.
    state_.SnapToSilence = options_.snap.has_value();
    if (options_.snap)
        state_.SnapSeconds = *options_.snap;
}

SilenceParams CutterSession::silenceLevels() const {
    return {static_cast<double>(options_.threshold.value_or(state_.SilenceThreshold)),
            options_.minSilenceMs.value_or(state_.SilenceMinimumMs)};
}

std::vector<CommandLine::Segment> CutterSession::segmentsIn(const listrecord& record,
                                                            bool report) const {
    std::vector<CommandLine::Segment> inside;
    for (const CommandLine::Segment& segment : options_.segments) {
        if (segment.begin >= record.Duration) {
            if (report)
                say(QStringLiteral("%1: %2 begins after the file's end (%3); left out")
                        .arg(QFileInfo(record.FileName).fileName(),
                             range(segment.begin, segment.end), FormatTime(record.Duration)));
            continue;
        }
        inside.push_back({segment.begin, std::min(segment.end, record.Duration)});
    }
    return inside;
}

void CutterSession::setSegments(listrecord& record,
                                const std::vector<CommandLine::Segment>& segments) const {
    // The confirmed segments, then the working one, as the segment editor
    // leaves them after each "Ok".
    record.BeginTimes.clear();
    record.EndTimes.clear();
    for (const CommandLine::Segment& segment : segments) {
        record.BeginTimes.push_back(segment.begin);
        record.EndTimes.push_back(segment.end);
    }
    record.BeginTimes.push_back(0);
    record.EndTimes.push_back(record.Duration);
    record.SegmentCount = static_cast<std::int32_t>(record.BeginTimes.size());
}

void CutterSession::loadList(const std::vector<Source>& sources) {
    state_.JobList = sources;
}

std::vector<PiecePlan::Piece> CutterSession::piecesOf(const Source& source, bool split) {
    listrecord record = source;
    const bool segmented = !options_.marked() && PiecePlan::CutsSegments(PiecePlan::ModeIn(state_));
    if (segmented) {
        // A join has told the ranges it leaves out already.
        const std::vector<CommandLine::Segment> inside = segmentsIn(record, split);
        if (inside.empty())
            return {};
        setSegments(record, inside);
    }
    if (options_.marked())
        markPieces(record);
    PiecePlan::Source planned = PiecePlan::Source::Of(record);
    std::vector<Silence> silences;
    if (split && PiecePlan::NeedsSilences(state_))
        silences = SilenceFinder::Find(PeakScanner::Scan(record.FileName), silenceLevels());
    // How a split's custom piece ends depends on its blocks, a second of
    // samples; a join takes it to its end.
    if (split)
        planned.channels = record.Channels;
    AppState state = state_;
    state.JobList = {record};
    std::vector<PiecePlan::Piece> pieces = PiecePlan::Of(state, 0, planned, silences);
    // A piece of no length is not written.
    std::erase_if(pieces, [](const PiecePlan::Piece& p) { return !p.written(); });
    return pieces;
}

void CutterSession::markPieces(listrecord& record, bool report) {
    const std::int32_t rate = record.SampleRate;
    const std::int64_t frames = record.SampleCount;
    const QString sheet = options_.cueFromFile      ? record.FileName
                          : !options_.cue.isEmpty() ? options_.cue
                                                    : options_.labels;
    record.Sheet = {};
    if (options_.chapters) {
        record.Pieces = SegmentFiles::Chapters(record.FileName, rate, frames);
    } else {
        SegmentFiles::Imported imported =
            options_.cueFromFile
                ? SegmentFiles::ImportEmbedded(record.FileName, rate, frames, options_.pregap)
                : SegmentFiles::ImportSheet(sheet, record.FileName, rate, frames,
                                            {options_.cueEncoding, options_.pregap});
        record.SheetFile = options_.cueFromFile ? record.FileName : sheet;
        record.Pieces = std::move(imported.pieces);
        record.Sheet = imported.disc;
        if (report)
            for (const QString& warning : imported.warnings)
                warn(warning);
    }
    if (record.Pieces.empty())
        throw Error(options_.chapters ? QStringLiteral("%1 has no chapters").arg(record.FileName)
                                      : QStringLiteral("%1 marks no piece of %2")
                                            .arg(QFileInfo(sheet).fileName(), record.FileName));
}

QString CutterSession::plannedPath(const Source& source, const listrecord& record,
                                   const PiecePlan::Piece& piece, GivenNames& planned) const {
    const TitledPiece marked = RecordPieces::Numbered(record, static_cast<size_t>(piece.row));
    const bool titled = !marked.tags.title.isEmpty();
    // As the run names it: a template may end in the extension it wants.
    const auto [pattern, extension] =
        OutputFormats::At(options_.format)
            .namedBy(OutputNames::ChosenPattern(state_.PiecePattern, settings_, titled));
    return OutputNames::PieceOutput(
        state_.OutputDir, OutputNames::SourceName(source.Caption, record.FileName), extension,
        PiecePlan::NamesFromOne(PiecePlan::ModeIn(state_)), pattern, titled, piece.row,
        PieceTags::Derive(marked.tags, record.Sheet, source.Tags),
        FramePosition::Milliseconds(piece.begin, record.SampleRate), planned);
}

RunOutcome::Piece CutterSession::plannedPiece(const listrecord& record,
                                              const PiecePlan::Piece& piece,
                                              const QString& path) const {
    const TitledPiece marked = piece.row < static_cast<int>(record.Pieces.size())
                                   ? record.Pieces[static_cast<size_t>(piece.row)]
                                   : TitledPiece();
    RunOutcome::Piece planned;
    planned.file = 0;
    planned.row = piece.row;
    planned.status = RunOutcome::Status::Planned;
    planned.begin = piece.begin;
    planned.end = piece.end;
    planned.rate = record.SampleRate;
    planned.planned = path;
    planned.title = marked.tags.title;
    planned.track = marked.tags.track;
    planned.tracks = marked.tags.tracks;
    planned.cut = piece.cutNote;
    return planned;
}

void CutterSession::listPlannedSplit() {
    GivenNames planned;
    for (const Source& source : sources_) {
        if (stopped())
            return;
        const bool atSilences = PiecePlan::NeedsSilences(state_);
        std::vector<PiecePlan::Piece> pieces;
        try {
            pieces = piecesOf(source, true);
        } catch (const Error& e) {
            RunSupport::CloseQuietly(reader_);
            fail(e.message());
            continue;
        }
        // The run refuses such a file; so does its listing.
        if (!atSilences && !options_.segments.empty() && pieces.empty()) {
            fail(nothingInside(source.FileName));
            continue;
        }
        listrecord record = source;
        if (options_.marked())
            markPieces(record, true);
        RunOutcome plan;
        for (size_t k = 0; k < pieces.size() && !stopped(); ++k) {
            const PiecePlan::Piece& piece = pieces[k];
            const QString path = plannedPath(source, record, piece, planned);
            planned.insert(path);
            plan.pieces.push_back(plannedPiece(record, piece, path));
        }
        reporter_->split(source.FileName, plan, QString());
        for (const QString& sheet : {options_.exportCue, options_.exportLabels}) {
            if (sheet.isEmpty())
                continue;
            try {
                SegmentFiles::Export(sheet, source.FileName,
                                     SegmentFiles::OfPlan(pieces, record.Pieces), record.Sheet,
                                     source.SampleRate, source.SampleCount);
            } catch (const Error& e) {
                fail(e.message());
            }
        }
    }
}

int CutterSession::split() {
    applyOptions();
    addFiles();
    if (options_.dryRun) {
        listPlannedSplit();
        reporter_->summary(QString());
        return stopped() ? Interrupted : failed_ > 0 || warned_ > 0 ? SomeFailed : 0;
    }
    int done = 0;
    int pieces = 0;
    // One file at a time, so that a file that fails does not keep the others
    // from being cut.
    for (const Source& source : sources_) {
        if (stopped())
            break;
        const QString name = QFileInfo(source.FileName).fileName();
        Source job = source;
        const bool segmented = !options_.segments.empty();
        if (segmented) {
            const std::vector<CommandLine::Segment> inside = segmentsIn(job);
            if (inside.empty()) {
                fail(nothingInside(source.FileName));
                continue;
            }
            setSegments(job, inside);
        }
        try {
            if (options_.marked())
                markPieces(job, true);
        } catch (const Error& e) {
            fail(e.message());
            continue;
        }
        loadList({job});
        host_.setFile(name);
        bool failedHere = false;
        try {
            command_.Split(false);
        } catch (const Error& e) {
            fail(e.message());
            command_.Stop();
            failedHere = true;
        } catch (const std::exception& e) {
            fail(name + QStringLiteral(": ") + QString::fromLocal8Bit(e.what()));
            command_.Stop();
            failedHere = true;
        }
        host_.clearLine();
        // Every output the run finished, also those of a file that failed
        // part way: they stay, complete.
        const RunOutcome outcome = host_.takeOutcome();
        const std::vector<RunOutcome::Piece> written = outcome.written();
        pieces += static_cast<int>(written.size());
        // The run has said which files lack their tags, and why.
        failed_ += static_cast<int>(std::count_if(
            written.begin(), written.end(), [](const auto& p) { return !p.tagFailure.isEmpty(); }));
        QString result;
        if (failedHere)
            result = QStringLiteral("failed");
        else if (stopped())
            result = QStringLiteral("stopped");
        else if (written.empty())
            result = QStringLiteral("not done"); // the run has said why
        else
            result = QStringLiteral("done");
        if (result == QLatin1String("done"))
            ++done;
        reporter_->split(source.FileName, outcome, result);
    }
    return finish(done, pieces);
}

int CutterSession::listPlannedJoin(const QString& output) {
    RunOutcome::Piece plan;
    plan.status = RunOutcome::Status::Planned;
    QStringList files;
    const bool whole = !PiecePlan::CutsSegments(PiecePlan::ModeIn(state_));
    for (const Source& source : sources_) {
        if (stopped())
            return Interrupted;
        const listrecord& record = source;
        const int file = static_cast<int>(files.size());
        files.append(record.FileName);
        if (plan.rate == 0)
            plan.rate = record.SampleRate;
        // Whole files run to their last frame.
        if (whole) {
            plan.joined.push_back({file, 0, 0, record.SampleCount, record.SampleRate});
            continue;
        }
        for (const PiecePlan::Piece& piece : piecesOf(source, false))
            plan.joined.push_back({file, piece.row, piece.begin, piece.end, record.SampleRate});
    }
    const QString path = OutputFormats::At(options_.format).joinPath(output);
    const JoinRun::NameCheck check = JoinRun::CheckName(path, files);
    if (!check.refusal.isEmpty())
        fail(check.refusal);
    else if (check.exists)
        fail(QStringLiteral("\"%1\" already exists; the join would not replace it").arg(path));
    else {
        plan.planned = path;
        reporter_->join(files, plan, QString());
    }
    reporter_->summary(QString());
    return failed_ > 0 ? SomeFailed : 0;
}

int CutterSession::join() {
    applyOptions();
    // A join of whole files: both split choices join whole files.
    if (options_.segments.empty())
        state_.FunctionChoice = FunctionSplitByTime;
    addFiles();
    const QString output = options_.joinName.contains(QLatin1Char('/'))
                               ? QFileInfo(options_.joinName).absoluteFilePath()
                               : OutputNames::Folder(state_.OutputDir) + options_.joinName;
    const PiecePlan::Mode mode = PiecePlan::ModeIn(state_);
    std::vector<Source> sources;
    for (Source source : sources_) {
        if (PiecePlan::CutsSegments(mode) && !PiecePlan::SharesSegments(mode)) {
            const std::vector<CommandLine::Segment> inside = segmentsIn(source);
            if (inside.empty()) {
                fail(nothingInside(source.FileName));
                continue;
            }
            setSegments(source, inside);
        }
        sources.push_back(source);
    }
    // Unification cuts the first file's segments out of every file.
    if (PiecePlan::SharesSegments(mode) && !sources.empty()) {
        std::vector<CommandLine::Segment> shared = options_.segments;
        setSegments(sources.front(), shared);
    }
    sources_ = sources;
    if (options_.dryRun)
        return listPlannedJoin(output);
    if (sources_.empty() || stopped())
        return finish(0, 0);

    loadList(sources_);
    desktop_.setJoinOutput(output, options_.format);
    host_.setFile(QFileInfo(OutputFormats::At(options_.format).joinPath(output)).fileName());
    QStringList files;
    for (const Source& source : sources_)
        files.append(source.FileName);
    try {
        command_.Join(false);
    } catch (const Error& e) {
        fail(e.message());
        command_.Stop();
        for (const RunOutcome::Piece& failed : host_.takeOutcome().pieces)
            reporter_->join(files, failed, QStringLiteral("failed"));
        return finish(0, 0);
    }
    host_.clearLine();
    const std::vector<RunOutcome::Piece> written = host_.takeOutcome().written();
    // Refused (the name is a source, or taken): the desktop said why.
    if (written.empty()) {
        ++failed_;
        return finish(0, 0);
    }
    // Under the name the join wrote, which differs from the one asked for
    // when a file of that name appeared meanwhile.
    reporter_->join(files, written.back(),
                    stopped() ? QStringLiteral("stopped") : QStringLiteral("joined"));
    return finish(interrupted_ ? 0 : static_cast<int>(sources_.size()), 1);
}

int CutterSession::finish(int done, int pieces) {
    host_.clearLine();
    stopped();
    // Outputs on a drive one unplugs are complete only once they are on it.
    for (const QString& failure : PendingOutput::SyncCompleted())
        fail(failure);
    const int total = static_cast<int>(options_.files.size());
    QString summary = QStringLiteral("%1 of %2 %3 done, %4 output %5 written")
                          .arg(done)
                          .arg(total)
                          .arg(total == 1 ? QStringLiteral("file") : QStringLiteral("files"))
                          .arg(pieces)
                          .arg(pieces == 1 ? QStringLiteral("file") : QStringLiteral("files"));
    if (failed_ > 0)
        summary += QStringLiteral(", %1 failed").arg(failed_);
    if (interrupted_)
        summary += QStringLiteral(", stopped");
    reporter_->summary(summary);
    if (interrupted_)
        return Interrupted;
    return failed_ > 0 || warned_ > 0 || done < total ? SomeFailed : 0;
}
