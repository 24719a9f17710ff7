#include "engine/SplitRun.h"

#include "core/FramePosition.h"
#include "core/RecordPieces.h"
#include "engine/ConfigureEncoder.h"
#include "engine/OutputFormats.h"
#include "engine/OutputNames.h"
#include "engine/PendingOutput.h"
#include "engine/PieceBlocks.h"
#include "engine/PiecePlan.h"
#include "engine/PieceWorkers.h"
#include "engine/RunControl.h"
#include "engine/RunHost.h"
#include "engine/RunSupport.h"
#include "engine/SilenceFinder.h"
#include "engine/audio/AudioFile2.h"
#include "engine/audio/AudioFile2LameEnc.h"
#include "engine/audio/AudioTransform2.h"
#include "engine/audio/IAudioFile2.h"
#include "engine/audio/IAudioTransform2.h"
#include "engine/audio/PeakScanner.h"
#include "platform/Error.h"
#include "platform/MulDiv.h"

#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>

#include <algorithm>
#include <climits>
#include <functional>
#include <map>
#include <optional>

namespace {

// A fade is read as one block, so its length is kept to what one read takes.
std::int32_t clampFrames(std::int64_t frames) {
    return static_cast<std::int32_t>(std::clamp<std::int64_t>(frames, 0, INT32_MAX));
}

} // namespace

SplitRun::SplitRun(RunContext& context) : c_(context) {}

void SplitRun::Run(PiecePlan::Mode mode) {
    RunSupport::Present(
        RunSupport::Carry(
            c_, [this, mode](RunRequest request) { return Split(mode, std::move(request)); }),
        c_.desktop);
}

RunOutcome SplitRun::Split(PiecePlan::Mode mode, RunRequest request) {
    request_ = std::move(request);
    outcome_ = {};
    const int files = request_.files();
    if (files <= 0)
        return {};

    function_ = PiecePlan::Function::Of(mode, request_.options);
    givenNames_.clear();
    tagFailures_.clear();
    nothingWritten_.clear();
    faultySamples_.clear();

    try {
        if (PiecePlan::SharesSegments(mode)) {
            // Shown first, so the rows that are cut and marked are exactly
            // the shared segments, whatever the list showed before.
            const listrecord& shared = request_.jobs.front();
            c_.host.RowsPlanned({RunRows::Kind::Segments, 0, shared, {}, 0});
            rowsShown_ = RunRows::CutSegments(shared).rows;
        }
        runFiles();
    } catch (...) {
        // Close what is open so the output written so far is a complete
        // file; the error is told after the other messages.
        RunSupport::CloseQuietly(c_.writer);
        RunSupport::CloseQuietly(c_.reader);
        reportAtEnd();
        outcome_.failure = std::current_exception();
        return std::exchange(outcome_, {});
    }

    RunSupport::ResetProgress(c_.host);
    reportAtEnd();
    return std::exchange(outcome_, {});
}

void SplitRun::countFaults(int file, IAudioFile2& writer) {
    const std::int64_t faults = writer.FaultySamples();
    if (faults == 0)
        return;
    const QString& name = request_.jobs[static_cast<size_t>(file)].FileName;
    if (faultySamples_.empty() || faultySamples_.back().first != name)
        faultySamples_.emplace_back(name, 0);
    faultySamples_.back().second += faults;
}

void SplitRun::reportAtEnd() {
    const auto warn = [this](const QString& text) {
        outcome_.messages.push_back({RunOutcome::Message::Kind::Warning, text});
    };
    // Once per source, however many pieces it gave.
    for (const auto& [name, faults] : faultySamples_)
        warn(QStringLiteral("%1 holds %2 samples that are not numbers or lie far "
                            "beyond full scale; they were clipped in its outputs.")
                 .arg(name)
                 .arg(faults));
    if (!tagFailures_.isEmpty())
        warn(QStringLiteral("The tags of these files could not be written; their audio is "
                            "complete:\n") +
             tagFailures_.join(QLatin1Char('\n')));
    if (nothingWritten_.size() == 1)
        warn(QStringLiteral("Nothing was written from ") + nothingWritten_.front());
    else if (!nothingWritten_.isEmpty())
        warn(QStringLiteral("Nothing was written from these files:\n") +
             nothingWritten_.join(QLatin1Char('\n')));
}

void SplitRun::runFiles() {
    const RunOptions& options = request_.options;
    const PiecePlan::Mode mode = function_.mode;
    const int files = request_.files();
    for (int i = 0; i < files; ++i) {
        if (!goOn())
            return;
        const listrecord& record = request_.jobs[static_cast<size_t>(i)];

        c_.host.FileStarted(i);
        const bool rowsArePieces = PiecePlan::RowsArePieces(mode, record);
        if (!rowsArePieces && !PiecePlan::SharesSegments(mode)) {
            c_.host.RowsPlanned({RunRows::Kind::Segments, i, record, {}, 0});
            rowsShown_ = RunRows::CutSegments(record).rows;
        }

        if (c_.reader.IsOpen())
            c_.reader.Close();
        c_.reader.Open(record.FileName, 0, 1);
        source_ = record.FileName;
        sampleCount_ = c_.reader.SampleCount();
        rate_ = c_.reader.SampleRate();
        channels_ = c_.reader.Channels();
        bits_ = c_.reader.SampleBits();
        if (rate_ <= 0 || channels_ <= 0)
            throw Error(QStringLiteral("%1 holds no audio").arg(record.FileName));
        fadeOutLen_ = clampFrames(FramePosition::Frames(options.cut.fadeOutSeconds, rate_));
        fadeInLen_ = clampFrames(FramePosition::Frames(options.cut.fadeInSeconds, rate_));
        extras_.beginSource(record, rate_, channels_, options.replayGain);
        cutter_.reset();
        cutterFormat_ = nullptr;
        cutterProblem_.clear();

        const bool atSilences = PiecePlan::NeedsSilences(function_);
        const std::optional<std::vector<Silence>> silences =
            atSilences ? silencesOf(record) : std::vector<Silence>();
        const std::vector<Piece> pieces =
            silences ? PiecePlan::Of(function_, request_.jobs, i, openSource(record), *silences)
                     : std::vector<Piece>();
        // However the file's pieces end, those never started are told.
        endedRows_.clear();
        const auto toldAll = qScopeGuard([&] { reportNeverStarted(i, pieces); });
        // The rows show the pieces as they are cut; a run stopped while the
        // silences were looked for leaves them as they were.
        if (rowsArePieces && (!atSilences || !c_.control.stopped() || !pieces.empty())) {
            c_.host.RowsPlanned({RunRows::Kind::Pieces, i, {}, pieces, rate_});
            rowsShown_ = static_cast<int>(pieces.size());
        }
        cutNotes_.clear();
        for (const Piece& piece : pieces)
            cutNotes_.push_back(piece.cutNote);
        const bool anyAudio =
            std::any_of(pieces.begin(), pieces.end(), [](const Piece& p) { return p.written(); });
        // Stopped while cuts at silences were looked for is no reason to tell.
        if (!anyAudio && !c_.control.stopped())
            nothingWritten_.append(PiecePlan::NothingToWrite(
                function_, QFileInfo(record.FileName).fileName(), record.Duration, pieces));
        const int workers = parallelWorkers(pieces);
        if (workers > 1) {
            writePiecesInParallel(i, pieces, workers);
            c_.reader.Close();
            tagFailures_.append(extras_.endSource());
            continue;
        }
        // One output: decoding ahead puts a second core to work beside the encoder.
        c_.reader.SetReadAhead(pieces.size() == 1);
        for (int k = 0; k < static_cast<int>(pieces.size()); ++k) {
            if (!goOn())
                break;
            const Piece& piece = pieces[static_cast<size_t>(k)];
            // A piece of no length would be a file without audio: it is not
            // written, and its row keeps the status it had.
            if (!piece.written())
                continue;
            writePiece(i, k, piece.begin, piece.frames());
        }
        c_.reader.Close();
        tagFailures_.append(extras_.endSource());
    }
}

PiecePlan::Source SplitRun::openSource(const listrecord& record) const {
    return {rate_, sampleCount_, record.Duration, channels_};
}

std::optional<std::vector<Silence>> SplitRun::silencesOf(const listrecord& record) {
    const RunOptions& options = request_.options;
    const auto keepGoing = [this] { return goOn(); };
    // The window's overview when it had one; else the file is scanned here.
    std::shared_ptr<const AudioOverview> overview = request_.overviews.value(record.FileName);
    if (!overview) {
        try {
            overview = std::make_shared<const AudioOverview>(
                PeakScanner::Scan(record.FileName, nullptr, keepGoing));
        } catch (const PeakScanner::Cancelled&) {
        }
    }
    if (!overview)
        return std::nullopt;
    return SilenceFinder::Find(
        *overview, {static_cast<double>(options.silenceThreshold), options.silenceMinimumMs});
}

const listrecord& SplitRun::marking(int file) const {
    // Unification cuts the first file's marks, titles included, from every file.
    return request_.jobs[PiecePlan::SharesSegments(function_.mode) ? 0 : static_cast<size_t>(file)];
}

TitledPiece SplitRun::markedPiece(int file, int row) const {
    return row >= 0 ? RecordPieces::Numbered(marking(file), static_cast<size_t>(row))
                    : TitledPiece();
}

PieceTags SplitRun::pieceTags(int file, int row) const {
    const AudioFileinfo& source = request_.jobs[static_cast<size_t>(file)].Tags;
    // A sheet's album and performer belong to the file it was read for.
    return PieceTags::Derive(markedPiece(file, row).tags,
                             request_.jobs[static_cast<size_t>(file)].Sheet, source);
}

QString SplitRun::rowNote(int row, const QString& pieceNote) const {
    const QString cut =
        row < static_cast<int>(cutNotes_.size()) ? cutNotes_[static_cast<size_t>(row)] : QString();
    return cut.isEmpty() || pieceNote.isEmpty() ? cut + pieceNote
                                                : cut + QLatin1Char('\n') + pieceNote;
}

void SplitRun::configureOutput(int file, std::int64_t start, std::int64_t length,
                               IAudioFile2& writer, IAudioFile2LameEnc& encoder, Output& out) {
    const RunOptions& options = request_.options;
    const listrecord& record = request_.jobs[static_cast<size_t>(file)];
    if (writer.IsOpen())
        writer.Close();
    // The format, the output folder and the encoder settings are those of
    // the start of the run.
    const int index = request_.format;
    const OutputFormat& format = OutputFormats::At(index);
    ConfigureEncoder(index, options.encoder(), options.mp3CommandLine, writer, encoder);
    const QString folder = options.outputDir;
    // Asked again when a file of the chosen name turns up before the output
    // is complete. Names are given out in piece order, as a listing of the
    // run shows them, however the workers finish: a name once given is never
    // given again.
    out.name = [this, file, row = out.row, start, folder, &format] {
        return pieceName(file, row, start, folder, format);
    };
    const bool titled = !markedPiece(file, out.row).tags.title.isEmpty();
    out.folder = folder;
    // A template may end in the extension it wants (".m4b").
    out.extension = format.namedBy(options.pattern(titled)).second;
    out.begin = start;
    out.end = start + length;
    out.format = &format;

    writer.SetSampleFormat(rate_, channels_);
    writer.SetSampleBits(bits_);
    if (writer.IsOpen())
        writer.Close();
    // A missing folder (a fresh account may have no music folder yet) is
    // made when the output is created.

    out.note.clear();
    out.copy = false;
    const bool copyChosen = options.copy;
    // Copying is in question where the format can copy packets and, unless
    // it says why not, the source is of its own kind.
    const bool candidate =
        format.copy && (!format.copy->otherSource.isEmpty() || format.copy->fits(record.FileName));
    if (copyChosen && candidate) {
        const QString obstacle = copyObstacle(format, record, start, length);
        out.copy = obstacle.isEmpty();
        if (!out.copy)
            out.note = QStringLiteral("re-encoded (%1)").arg(obstacle);
    }
    out.meter = out.copy ? nullptr : extras_.meter();
}

void SplitRun::createOutput(int file, Output& out, IAudioFile2& writer) {
    const auto open = [&] {
        const QString name = out.name();
        if (out.planned.isEmpty())
            out.planned = name;
        out.file.create(name);
        if (!out.copy)
            writer.CreateOutput(out.file.path(), 0);
    };
    try {
        open();
    } catch (const std::exception&) {
        RunSupport::CloseQuietly(writer);
        out.file.discard();
        QStringList sources;
        for (const listrecord& r : request_.jobs)
            sources.append(r.FileName);
        out.name = [folder = out.folder, source = request_.jobs[static_cast<size_t>(file)].FileName,
                    extension = out.extension,
                    sources] { return OutputNames::Fallback(folder, source, extension, sources); };
        open();
    }
}

void SplitRun::completeOutput(int file, Output& out) {
    const AudioFileinfo& source = request_.jobs[static_cast<size_t>(file)].Tags;
    const bool marked = !marking(file).Pieces.empty();
    const PieceTags sheet = marked ? pieceTags(file, out.row) : PieceTags();
    const AudioFileinfo tags = marked ? sheet.fileinfo(source) : source;
    // Tags that cannot be written cost the piece nothing: its audio is
    // complete. The run goes on and tells which files lack their tags.
    const QString temporary = out.file.path();
    QString tagFailure;
    try {
        if (out.format->writeTags)
            out.format->writeTags(temporary, tags);
        extras_.write(temporary, out.format->extras, marked ? &sheet : nullptr, out.meter);
    } catch (const Error& e) {
        tagFailure = e.message();
    }
    out.file.complete(out.name);
    extras_.kept(out.file.finalPath());
    if (!tagFailure.isEmpty()) {
        // Named as the user finds it.
        tagFailure.replace(temporary, out.file.finalPath());
        tagFailures_.append(tagFailure);
    }
    pieceEnded(file, out,
               {file,
                out.row,
                out.file.finalPath(),
                out.note,
                RunOutcome::Status::Written,
                {},
                tagFailure});
}

QString SplitRun::pieceName(int file, int row, std::int64_t start, const QString& folder,
                            const OutputFormat& format) {
    const TitledPiece marked = markedPiece(file, row);
    const bool titled = !marked.tags.title.isEmpty();
    // A template may end in the extension it wants (".m4b").
    const auto [pattern, extension] = format.namedBy(request_.options.pattern(titled));
    const QString caption = OutputNames::SourceName(
        request_.captions.value(file), request_.jobs[static_cast<size_t>(file)].FileName);
    const QString path = OutputNames::PieceOutput(
        folder, caption, extension, PiecePlan::NamesFromOne(function_.mode), pattern, titled, row,
        pieceTags(file, row), FramePosition::Milliseconds(start, rate_), givenNames_);
    givenNames_.insert(path);
    return path;
}

void SplitRun::pieceEnded(int file, const Output& out, RunOutcome::Piece ended) {
    const TitledPiece marked = markedPiece(file, out.row);
    ended.begin = out.begin;
    ended.end = out.end;
    ended.rate = rate_;
    ended.planned = out.planned;
    ended.title = marked.tags.title;
    ended.track = marked.tags.track;
    ended.tracks = marked.tags.tracks;
    if (out.row >= 0 && out.row < static_cast<int>(cutNotes_.size()))
        ended.cut = cutNotes_[static_cast<size_t>(out.row)];
    endedRows_.insert(out.row);
    outcome_.pieces.push_back(ended);
    c_.host.PieceEnded(ended);
}

void SplitRun::reportNeverStarted(int file, const std::vector<Piece>& pieces) {
    const OutputFormat& format = OutputFormats::At(request_.format);
    for (int k = 0; k < static_cast<int>(pieces.size()); ++k) {
        const Piece& piece = pieces[static_cast<size_t>(k)];
        if (!piece.written() || endedRows_.contains(k))
            continue;
        Output out;
        out.row = k;
        out.begin = piece.begin;
        out.end = piece.end;
        try {
            out.planned = pieceName(file, k, piece.begin, request_.options.outputDir, format);
        } catch (...) {
            // Only a folder with no free name left gets here; the piece is
            // told without one.
        }
        reportUnwritten(file, out, RunOutcome::Status::LeftOut);
    }
}

void SplitRun::writePiece(int file, int row, std::int64_t start, std::int64_t length) {
    pieceStart_ = start;

    Output out;
    out.row = row;
    out.begin = start;
    out.end = start + length;
    try {
        configureOutput(file, start, length, c_.writer, c_.encoder, out);
        // A copy reads the source's packets itself; a seek of a reader that
        // decodes on from the start would decode everything before the piece.
        if (!out.copy)
            c_.reader.Seek(start, 3);
        if (out.copy)
            out.note = QStringLiteral("copied");
        pieceNote_ = out.note;
        meter_ = out.meter.get();
        createOutput(file, out, c_.writer);
        // How the piece is made shows on its row while it is written.
        c_.host.PieceStarted(file, row, rowsShown_, rowNote(row, pieceNote_));
        if (out.copy) {
            out.end = start + std::min(copyPiece(out.file.path(), start, length), length);
        } else {
            c_.writer.SetSampleFormat(rate_, channels_);

            // A piece cut short by Stop is still closed, tagged and marked
            // finished: what was written so far is a complete file the user
            // keeps. Stopped before any audio, it would be a file without
            // any: none is left, and the row keeps the status it had.
            const std::int64_t written = copyBlocks(length);
            out.end = start + written;

            c_.writer.Close();
            countFaults(file, c_.writer);
            if (written == 0) {
                out.file.discard();
                reportUnwritten(file, out, RunOutcome::Status::LeftOut);
                return;
            }
        }
        completeOutput(file, out);
    } catch (...) {
        // Nothing of a failed piece is left behind.
        RunSupport::CloseQuietly(c_.writer);
        reportUnwritten(file, out, RunOutcome::Status::Failed,
                        RunSupport::ReasonOf(std::current_exception()));
        out.file.abandon();
    }
}

void SplitRun::reportUnwritten(int file, const Output& out, RunOutcome::Status status,
                               const QString& problem) {
    pieceEnded(file, out, {file, out.row, {}, out.note, status, problem, {}});
}

int SplitRun::parallelWorkers(const std::vector<Piece>& pieces) const {
    const int workers = request_.options.workers;
    const auto written = std::count_if(pieces.begin(), pieces.end(),
                                       [](const Piece& piece) { return piece.written(); });
    // Workers build components of the program's own kinds, so a run given
    // others writes in turn too.
    const bool own = dynamic_cast<AudioFile2*>(&c_.reader) &&
                     dynamic_cast<AudioFile2*>(&c_.writer) &&
                     dynamic_cast<AudioFile2LameEnc*>(&c_.encoder) &&
                     dynamic_cast<AudioTransform2*>(&c_.transform);
    if (written < 2 || !own)
        return 1;
    return static_cast<int>(std::min<std::ptrdiff_t>(workers, written));
}

void SplitRun::writePiecesInParallel(int file, const std::vector<Piece>& pieces, int workers) {
    struct InFlight {
        std::shared_ptr<PieceWorkers::Job> job;
        Output out;
        bool ended = false;
    };
    // By row; declared before the workers, which end first.
    std::map<int, std::unique_ptr<InFlight>> inFlight;
    int running = 0;
    std::exception_ptr failure;
    int failedRow = INT_MAX;
    // Once Stop is noticed: the first piece then in flight. It ends as a
    // shorter file, as it would have in turn; the pieces after it go.
    int stoppedRow = INT_MAX;
    PieceWorkers pool(workers, source_);

    // A failure ends the run as it would have in turn: pieces before the
    // failed one are finished, those after it end unwritten.
    const auto fail = [&](int row, std::exception_ptr error) {
        if (row < failedRow) {
            failure = std::move(error);
            failedRow = row;
        }
        for (auto& [r, flight] : inFlight)
            if (r > failedRow)
                flight->job->stop = true;
    };
    // Pieces are kept in row order, each once all before it are, so that
    // the outputs at any moment are those the run in turn would have made.
    const auto settle = [&](InFlight& flight) {
        const std::shared_ptr<PieceWorkers::Job>& job = flight.job;
        // A piece stopped before any audio would be a file without any.
        const bool empty = !job->error && job->done.load() == 0;
        if (job->row > failedRow || job->row > stoppedRow || !job->begun || empty) {
            // Never written, or not to be kept: as if never started.
            RunSupport::CloseQuietly(*job->writer);
            flight.out.file.discard();
            reportUnwritten(file, flight.out, RunOutcome::Status::LeftOut);
            return;
        }
        try {
            if (job->error)
                std::rethrow_exception(job->error);
            countFaults(file, *job->writer);
            flight.out.end = flight.out.begin + std::min(job->done.load(), job->piece.length);
            // As in turn, a piece cut short by Stop is finished too.
            completeOutput(file, flight.out);
        } catch (...) {
            RunSupport::CloseQuietly(*job->writer);
            reportUnwritten(file, flight.out, RunOutcome::Status::Failed,
                            RunSupport::ReasonOf(std::current_exception()));
            try {
                flight.out.file.abandon();
            } catch (...) {
                fail(job->row, std::current_exception());
            }
        }
    };
    const auto settleInOrder = [&] {
        while (!inFlight.empty() && inFlight.begin()->second->ended) {
            settle(*inFlight.begin()->second);
            inFlight.erase(inFlight.begin());
        }
    };
    // Waits a moment for pieces to end, settles them, shows the progress
    // of the first piece still in flight and lets the window work.
    const auto step = [&] {
        for (const auto& job : pool.takeEnded(10)) {
            inFlight.at(job->row)->ended = true;
            --running;
        }
        settleInOrder();
        if (!c_.control.stopped() && !inFlight.empty()) {
            const InFlight& first = *inFlight.begin()->second;
            showProgress(first.job->done.load(), first.job->piece.length);
        }
        if (!goOn() && stoppedRow == INT_MAX && !inFlight.empty()) {
            stoppedRow = inFlight.begin()->first;
            for (auto& [row, flight] : inFlight)
                flight->job->stop = true;
        }
    };

    for (int k = 0; k < static_cast<int>(pieces.size()) && !failure; ++k) {
        if (!goOn())
            break;
        const Piece& piece = pieces[static_cast<size_t>(k)];
        if (!piece.written())
            continue;
        const std::int64_t start = piece.begin;
        const std::int64_t length = piece.frames();
        while (running >= pool.count() && !c_.control.stopped() && !failure)
            step();
        if (c_.control.stopped() || failure)
            break;

        auto job = std::make_shared<PieceWorkers::Job>();
        job->row = k;
        job->encoder = std::make_unique<AudioFile2LameEnc>();
        job->writer = std::make_unique<AudioFile2>();
        auto flight = std::make_unique<InFlight>();
        flight->out.row = k;
        try {
            configureOutput(file, start, length, *job->writer, *job->encoder, flight->out);
            if (flight->out.copy)
                flight->out.note = QStringLiteral("copied");
        } catch (...) {
            fail(k, std::current_exception());
            break;
        }
        try {
            createOutput(file, flight->out, *job->writer);
        } catch (...) {
            RunSupport::CloseQuietly(*job->writer);
            try {
                flight->out.file.abandon();
            } catch (...) {
                fail(k, std::current_exception());
            }
            break;
        }
        flight->out.row = k;
        c_.host.PieceStarted(file, k, rowsShown_, rowNote(k, flight->out.note));
        job->piece = blocksOf(start, length);
        if (flight->out.copy) {
            job->cutter = cutter_;
            job->output = flight->out.file.path();
        } else {
            job->writer->SetSampleFormat(rate_, channels_);
            job->piece.meter = flight->out.meter.get();
        }
        job->sourceFrames = sampleCount_;
        flight->job = job;
        inFlight.emplace(k, std::move(flight));
        ++running;
        pool.submit(std::move(job));
    }
    while (!inFlight.empty())
        step();
    if (failure)
        std::rethrow_exception(failure);
}

bool SplitRun::fades() const {
    const RunOptions& options = request_.options;
    return (options.cut.fadeIn && fadeInLen_ > 0) || (options.cut.fadeOut && fadeOutLen_ > 0);
}

QString SplitRun::copyObstacle(const OutputFormat& format, const listrecord& record,
                               std::int64_t start, std::int64_t length) {
    if (fades())
        return QStringLiteral("fade");
    if (cutterFormat_ != &format) {
        cutter_.reset();
        cutterProblem_.clear();
        cutterFormat_ = &format;
        if (!format.copy->fits(record.FileName))
            cutterProblem_ = format.copy->otherSource;
    }
    if (!cutter_ && cutterProblem_.isEmpty()) {
        try {
            cutter_ = format.copy->open(record.FileName);
            // A stream it cannot copy says why before any count.
            cutterProblem_ = cutter_->problem();
            // The packets must count the frames as the reader does, or the
            // pieces would not be the ones the segments name.
            const int rate = cutter_->sampleRate();
            if (cutterProblem_.isEmpty() &&
                ((rate > 0 && rate != rate_) || cutter_->totalFrames() != sampleCount_))
                cutterProblem_ = QStringLiteral("positions differ from the audio");
        } catch (const Error&) {
            cutterProblem_ = QStringLiteral("unreadable source");
        }
    }
    if (!cutterProblem_.isEmpty())
        return cutterProblem_;
    return cutter_->obstacle(start, start + length);
}

std::int64_t SplitRun::copyPiece(const QString& path, std::int64_t start, std::int64_t length) {
    const auto progress = [&](std::int64_t frames) {
        showProgress(std::min(frames, length), length);
        // Stop ends the piece where it is, still as a complete file.
        return goOn();
    };
    return cutter_->write(start, start + length, path, progress);
}

PieceBlocks::Piece SplitRun::blocksOf(std::int64_t start, std::int64_t length) const {
    const RunOptions& options = request_.options;
    PieceBlocks::Piece piece;
    piece.source = source_;
    piece.start = start;
    piece.length = length;
    piece.rate = rate_;
    piece.channels = channels_;
    piece.fadeInLen = options.cut.fadeIn ? std::max(fadeInLen_, 0) : 0;
    piece.fadeOutLen = options.cut.fadeOut ? std::max(fadeOutLen_, 0) : 0;
    return piece;
}

std::int64_t SplitRun::copyBlocks(std::int64_t length) {
    const auto keepGoing = [&] { return goOn(); };
    std::int64_t written = 0;
    const auto progress = [&](std::int64_t done) {
        written = done;
        showProgress(done, length);
    };
    PieceBlocks::Piece piece = blocksOf(pieceStart_, length);
    piece.meter = meter_;
    PieceBlocks::Copy(piece, c_.reader, c_.writer, c_.transform, keepGoing, progress);
    return written;
}

bool SplitRun::goOn() {
    c_.host.Checkpoint();
    return !c_.control.stopped();
}

void SplitRun::showProgress(std::int64_t done, std::int64_t length) {
    // As MulDiv(done, 10000, length), which a piece past 2^31 frames would overflow.
    const auto v = static_cast<std::int32_t>(MulDiv64(done, 10000, length));
    c_.host.SetRunText(QString::number(v / 100) + QLatin1Char('%'));
    c_.host.SetRunProgress(v);
}
