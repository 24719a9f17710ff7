#include "cli/CutterSession.h"

#include "engine/JoinRun.h"
#include "engine/MainSettings.h"
#include "engine/OutputNames.h"
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
#include <cstdio>
#include <unordered_map>
#include <utility>

namespace {

QString range(std::int32_t begin, std::int32_t end) {
    return FormatTime(begin) + QLatin1Char('-') + FormatTime(end);
}

void print(const QString& text) {
    // Written whole: a tag value may hold a zero byte, which would end a
    // C string before the line does.
    const QByteArray line = (text + QLatin1Char('\n')).toLocal8Bit();
    std::fwrite(line.constData(), 1, static_cast<size_t>(line.size()), stdout);
    std::fflush(stdout);
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
      host_(desktop_, lvSelection_, !options_.quiet && isatty(STDERR_FILENO)),
      context_{state_,    lv_,      lvTime_,  SegmentList{state_, lvTime_},
               reader_,   writer_,  encoder_, transform_,
               settings_, desktop_, host_},
      command_(state_, lv_, desktop_, steps_) {
    // A failed run needs no Stop here: the tool goes on with the next file.
    command_.setStopHint(QString());
    reader_.SetActive(true);
    writer_.SetActive(true);
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
    command_.Stop(host_, lvTime_);
}

bool CutterSession::stopped() {
    // Between the steps that turn no event loop, the signal is looked for
    // here; during a run it arrives through the run's event pump.
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
        if (!taken.entry) {
            // An opening cut short by Ctrl-C is no refusal.
            if (stopped())
                return;
            desktop_.warning(taken.refusal.message, taken.refusal.reason);
            ++failed_;
            continue;
        }
        sources_.push_back(*taken.entry);
    }
}

int CutterSession::info() {
    MainSettings::Read(state_, settings_); // the silence levels the window uses
    addFiles();
    QJsonArray all;
    for (const Source& source : sources_) {
        if (stopped())
            return Interrupted;
        const listrecord& record = source.record;
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
        const double seconds = rate > 0 ? double(record.SampleCount) / rate : 0.0;
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
        const AudioFileinfo& tags = source.tags;
        const std::pair<const char*, QString> fields[] = {
            {"title", tags.Title}, {"artist", tags.Artist}, {"album", tags.Album},
            {"year", tags.Year},   {"genre", tags.Genre},   {"comment", tags.Comment},
        };
        if (options_.json) {
            QJsonObject tagObject;
            for (const auto& [key, value] : fields)
                tagObject.insert(QLatin1String(key), value);
            all.append(QJsonObject{{"file", record.FileName},
                                   {"name", source.row.value(0)},
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

std::vector<CommandLine::Segment> CutterSession::segmentsIn(const listrecord& record) const {
    std::vector<CommandLine::Segment> inside;
    for (const CommandLine::Segment& segment : options_.segments) {
        if (segment.begin >= record.Duration) {
            say(QStringLiteral("%1: %2 begins after the file's end (%3); left out")
                    .arg(QFileInfo(record.FileName).fileName(), range(segment.begin, segment.end),
                         FormatTime(record.Duration)));
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
    lv_.clear();
    lvTime_.clear();
    state_.JobList.clear();
    state_.TagList.clear();
    for (const Source& source : sources) {
        lv_.append(source.row);
        state_.JobList.push_back(source.record);
        state_.TagList.push_back(source.tags);
    }
}

std::vector<PiecePlan::Piece> CutterSession::piecesOf(const Source& source, bool split) {
    listrecord record = source.record;
    const bool segmented = !options_.marked() && (state_.FunctionChoice == FunctionCustom ||
                                                  state_.FunctionChoice == FunctionUnification);
    if (segmented) {
        const std::vector<CommandLine::Segment> inside = segmentsIn(record);
        if (inside.empty())
            return {};
        setSegments(record, inside);
    }
    if (options_.marked())
        markPieces(record);
    PiecePlan::Source planned = PiecePlan::Source::Of(record);
    std::vector<Silence> silences;
    if (split && PiecePlan::NeedsSilences(state_)) {
        silences = SilenceFinder::Find(PeakScanner::Scan(record.FileName), silenceLevels());
    } else if (split && state_.FunctionChoice == FunctionCustom && record.Pieces.empty()) {
        // How a custom piece ends depends on its blocks, a second of samples.
        reader_.Open(record.FileName, 0, 1);
        planned.channels = reader_.Channels();
        reader_.Close();
    }
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
    const QString sheet = !options_.cue.isEmpty() ? options_.cue : options_.labels;
    record.Sheet = {};
    if (options_.chapters) {
        record.Pieces = SegmentFiles::Chapters(record.FileName, rate, frames);
    } else {
        SegmentFiles::Imported imported = SegmentFiles::ImportSheet(
            sheet, record.FileName, rate, frames, {options_.cueEncoding, options_.pregap});
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
    const TitledPiece marked = piece.row < static_cast<int>(record.Pieces.size())
                                   ? record.Pieces[static_cast<size_t>(piece.row)]
                                   : TitledPiece();
    const bool titled = !marked.tags.title.isEmpty();
    return OutputNames::PieceOutput(
        state_.OutputDir, source.row.value(0), OutputNames::Extension(options_.format),
        state_.FunctionChoice != FunctionCustom,
        OutputNames::ChosenPattern(state_.PiecePattern, settings_, titled), titled, piece.row,
        PieceTags::Derive(marked.tags, record.Sheet, source.tags),
        PiecePlan::Milliseconds(piece.begin, record.SampleRate), planned);
}

QJsonObject CutterSession::outputJson(const listrecord& record, const PiecePlan::Piece* piece,
                                      const RunOutcome::Piece& output) const {
    static const char* const statuses[] = {"written", "failed", "left out"};
    QJsonObject object{{"source", record.FileName},
                       {"path", output.path},
                       {"status", QLatin1String(statuses[static_cast<int>(output.status)])}};
    // "copied", "re-encoded (why)", or simply encoded where copying was not in question.
    object.insert(QStringLiteral("made"),
                  output.note.isEmpty() ? QStringLiteral("encoded") : output.note);
    if (!output.problem.isEmpty())
        object.insert(QStringLiteral("problem"), output.problem);
    if (!output.tagFailure.isEmpty())
        object.insert(QStringLiteral("tagFailure"), output.tagFailure);
    if (piece) {
        const double rate = record.SampleRate > 0 ? record.SampleRate : 1;
        object.insert(
            QStringLiteral("begin"),
            QJsonObject{{"frame", qint64(piece->begin)}, {"seconds", double(piece->begin) / rate}});
        object.insert(QStringLiteral("end"), QJsonObject{{"frame", qint64(piece->end)},
                                                         {"seconds", double(piece->end) / rate}});
        const TitledPiece marked = piece->row < static_cast<int>(record.Pieces.size())
                                       ? record.Pieces[static_cast<size_t>(piece->row)]
                                       : TitledPiece();
        if (!marked.tags.title.isEmpty())
            object.insert(QStringLiteral("title"), marked.tags.title);
        if (marked.tags.track > 0)
            object.insert(QStringLiteral("track"),
                          QStringLiteral("%1/%2").arg(marked.tags.track).arg(marked.tags.tracks));
    }
    return object;
}

void CutterSession::listPlannedSplit() {
    const QString extension = OutputNames::Extension(options_.format);
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
            fail(nothingInside(source.record.FileName));
            continue;
        }
        listrecord record = source.record;
        if (options_.marked())
            markPieces(record, true);
        for (size_t k = 0; k < pieces.size() && !stopped(); ++k) {
            const PiecePlan::Piece& piece = pieces[k];
            const std::int32_t rate = source.record.SampleRate;
            const QString path = plannedPath(source, record, piece, planned);
            planned.insert(path);
            const QString& note = piece.cutNote;
            const QString title =
                piece.title.isEmpty() ? QString() : QLatin1Char('\t') + piece.title;
            print(QStringLiteral("%1\t%2\t%3%4%5")
                      .arg(QFileInfo(source.record.FileName).fileName(),
                           FormatTimeMs(PiecePlan::Milliseconds(piece.begin, rate)) +
                               QLatin1Char('-') +
                               FormatTimeMs(PiecePlan::Milliseconds(piece.end, rate)),
                           path, title, note.isEmpty() ? QString() : QLatin1Char('\t') + note));
        }
        for (const QString& sheet : {options_.exportCue, options_.exportLabels}) {
            if (sheet.isEmpty())
                continue;
            try {
                SegmentFiles::Export(sheet, source.record.FileName,
                                     SegmentFiles::OfPlan(pieces, record.Pieces), record.Sheet,
                                     source.record.SampleRate, source.record.SampleCount);
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
        return stopped() ? Interrupted : failed_ > 0 || warned_ > 0 ? SomeFailed : 0;
    }
    int done = 0;
    int pieces = 0;
    // One file at a time, so that a file that fails does not keep the others
    // from being cut.
    for (const Source& source : sources_) {
        if (stopped())
            break;
        const QString name = QFileInfo(source.record.FileName).fileName();
        Source job = source;
        const bool segmented = !options_.segments.empty();
        if (segmented) {
            const std::vector<CommandLine::Segment> inside = segmentsIn(job.record);
            if (inside.empty()) {
                fail(nothingInside(source.record.FileName));
                continue;
            }
            setSegments(job.record, inside);
        }
        std::vector<PiecePlan::Piece> plan;
        try {
            if (options_.marked())
                markPieces(job.record, true);
            // The outputs' ranges, which the outcome gives by row.
            if (options_.json)
                plan = piecesOf(source, true);
        } catch (const Error& e) {
            RunSupport::CloseQuietly(reader_);
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
            command_.Stop(host_, lvTime_);
            failedHere = true;
        } catch (const std::exception& e) {
            fail(name + QStringLiteral(": ") + QString::fromLocal8Bit(e.what()));
            command_.Stop(host_, lvTime_);
            failedHere = true;
        }
        host_.clearLine();
        // Every output the run finished, also those of a file that failed
        // part way: they stay, complete.
        QStringList written;
        int untagged = 0;
        const RunOutcome outcome = host_.takeOutcome();
        std::unordered_map<int, const PiecePlan::Piece*> planned;
        for (const PiecePlan::Piece& piece : plan)
            planned.emplace(piece.row, &piece);
        for (const RunOutcome::Piece& output : outcome.pieces) {
            const auto at = planned.find(output.row);
            outputs_.append(
                outputJson(job.record, at == planned.end() ? nullptr : at->second, output));
        }
        for (const RunOutcome::Piece& output : outcome.written()) {
            QString entry = QFileInfo(output.path).fileName();
            // How an OGG piece was made, as its row shows it in the window.
            if (!output.note.isEmpty())
                entry += QStringLiteral(" [%1]").arg(output.note);
            written.append(entry);
            if (!output.tagFailure.isEmpty())
                ++untagged;
        }
        pieces += static_cast<int>(written.size());
        // The run has said which files lack their tags, and why.
        failed_ += untagged;
        QString result;
        if (failedHere)
            result = QStringLiteral("failed");
        else if (interrupted_)
            result = QStringLiteral("stopped");
        else if (written.isEmpty())
            result = QStringLiteral("not done"); // the run has said why
        else
            result = QStringLiteral("done");
        if (result == QLatin1String("done"))
            ++done;
        if (failedHere && written.isEmpty())
            continue;
        say(QStringLiteral("%1: %2 -> %3")
                .arg(name, result,
                     written.isEmpty() ? QStringLiteral("nothing written")
                                       : written.join(QStringLiteral(", "))));
    }
    return finish(done, pieces);
}

int CutterSession::listPlannedJoin(const QString& output) {
    for (const Source& source : sources_) {
        if (stopped())
            return Interrupted;
        const QString name = QFileInfo(source.record.FileName).fileName();
        const listrecord& record = source.record;
        if (state_.FunctionChoice == FunctionSplitByTime) {
            // A whole file, to its last frame.
            const std::int64_t lengthMs =
                record.SampleRate > 0 ? std::int64_t{record.SampleCount} * 1000 / record.SampleRate
                                      : 0;
            print(QStringLiteral("%1\t%2-%3").arg(name, FormatTime(0), FormatTimeMs(lengthMs)));
            continue;
        }
        for (const PiecePlan::Piece& piece : piecesOf(source, false))
            print(QStringLiteral("%1\t%2-%3")
                      .arg(name,
                           FormatTimeMs(PiecePlan::Milliseconds(piece.begin, record.SampleRate)),
                           FormatTimeMs(PiecePlan::Milliseconds(piece.end, record.SampleRate))));
    }
    const QString path = OutputNames::JoinOutput(output, OutputNames::Extension(options_.format));
    QStringList files;
    for (const Source& source : sources_)
        files.append(source.record.FileName);
    const JoinRun::NameCheck check = JoinRun::CheckName(path, files);
    if (!check.refusal.isEmpty()) {
        fail(check.refusal);
        return SomeFailed;
    }
    if (check.exists) {
        fail(QStringLiteral("\"%1\" already exists; the join would not replace it").arg(path));
        return SomeFailed;
    }
    print(QStringLiteral("-> %1").arg(path));
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
    std::vector<Source> sources;
    for (Source source : sources_) {
        if (state_.FunctionChoice == FunctionCustom) {
            const std::vector<CommandLine::Segment> inside = segmentsIn(source.record);
            if (inside.empty()) {
                fail(nothingInside(source.record.FileName));
                continue;
            }
            setSegments(source.record, inside);
        }
        sources.push_back(source);
    }
    // Unification cuts the first file's segments out of every file.
    if (state_.FunctionChoice == FunctionUnification && !sources.empty()) {
        std::vector<CommandLine::Segment> shared = options_.segments;
        setSegments(sources.front().record, shared);
    }
    sources_ = sources;
    if (options_.dryRun)
        return listPlannedJoin(output);
    if (sources_.empty() || stopped())
        return finish(0, 0);

    loadList(sources_);
    desktop_.setJoinOutput(output, options_.format);
    host_.setFile(
        QFileInfo(OutputNames::JoinOutput(output, OutputNames::Extension(options_.format)))
            .fileName());
    try {
        command_.Join(false);
    } catch (const Error& e) {
        fail(e.message());
        command_.Stop(host_, lvTime_);
        return finish(0, 0);
    }
    host_.clearLine();
    // The name the join wrote, which differs from the one asked for when a
    // file of that name appeared meanwhile.
    QString joined = steps_.joinOutput().path;
    for (const RunOutcome::Piece& piece : host_.takeOutcome().written())
        joined = piece.path;
    // Refused (the name is a source, or taken): the desktop said why.
    if (joined.isEmpty()) {
        ++failed_;
        return finish(0, 0);
    }
    QJsonArray joinedSources;
    for (const Source& source : sources_)
        joinedSources.append(source.record.FileName);
    outputs_.append(QJsonObject{
        {"sources", joinedSources},
        {"path", joined},
        {"status", interrupted_ ? QStringLiteral("stopped") : QStringLiteral("written")}});
    say(QStringLiteral("%1 files %2 -> %3")
            .arg(sources_.size())
            .arg(interrupted_ ? QStringLiteral("stopped") : QStringLiteral("joined"), joined));
    return finish(interrupted_ ? 0 : static_cast<int>(sources_.size()), 1);
}

int CutterSession::finish(int done, int pieces) {
    host_.clearLine();
    const int total = static_cast<int>(options_.files.size());
    QString summary = QStringLiteral("%1 of %2 %3 done, %4 output %5 written")
                          .arg(done)
                          .arg(total)
                          .arg(total == 1 ? QStringLiteral("file") : QStringLiteral("files"))
                          .arg(pieces)
                          .arg(pieces == 1 ? QStringLiteral("file") : QStringLiteral("files"));
    if (failed_ > 0)
        summary += QStringLiteral(", %1 failed").arg(failed_);
    if (options_.json)
        print(QString::fromUtf8(QJsonDocument(outputs_).toJson(QJsonDocument::Indented)).trimmed());
    if (interrupted_)
        summary += QStringLiteral(", stopped");
    say(summary);
    if (interrupted_)
        return Interrupted;
    return failed_ > 0 || warned_ > 0 || done < total ? SomeFailed : 0;
}
