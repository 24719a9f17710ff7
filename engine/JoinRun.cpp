#include "engine/JoinRun.h"

#include "core/AppState.h"
#include "core/FramePosition.h"
#include "core/Segments.h"
#include "engine/ConfigureEncoder.h"
#include "engine/OutputFormats.h"
#include "engine/OutputNames.h"
#include "engine/PendingOutput.h"
#include "engine/RunControl.h"
#include "engine/RunHost.h"
#include "engine/RunSupport.h"
#include "engine/audio/AudioFile2.h"
#include "engine/audio/IAudioFile2.h"
#include "engine/audio/IAudioTransform2.h"
#include "platform/Desktop.h"
#include "platform/Error.h"

#include <QFileInfo>

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>
#include <vector>

namespace {

QString displayName(const QString& path) {
    return QFileInfo(path).fileName();
}

} // namespace

const QString JoinRun::Filter = OutputFormats::SaveFilter();

JoinRun::JoinRun(RunContext& context) : c_(context) {}

bool JoinRun::ChooseJoinOutput(Output& chosen) {
    if (c_.state.JobList.empty())
        return false;
    Desktop::SaveChoice choice;
    const int current = std::clamp(c_.host.formatIndex(), 0, OutputFormats::Count() - 1);
    if (!c_.desktop.saveFile(Filter, current + 1, c_.state.OutputDir, choice) ||
        choice.path.isEmpty())
        return false;
    const int filterIndex = std::clamp(choice.filterIndex, 1, OutputFormats::Count());
    const QString path = OutputFormats::At(filterIndex - 1).joinPath(choice.path);
    QStringList sources;
    for (const listrecord& job : c_.state.JobList)
        sources.append(job.FileName);
    const NameCheck check = CheckName(path, sources);
    if (!check.refusal.isEmpty()) {
        c_.desktop.warning(check.refusal);
        return false;
    }
    const bool exists = check.exists;
    if (exists &&
        !c_.desktop.confirm(QStringLiteral("\"%1\" already exists. Do you want to replace it?")
                                .arg(displayName(path))))
        return false;

    // Only a join that goes ahead changes the format box.
    c_.host.setFormatIndex(filterIndex - 1);
    chosen.path = path;
    chosen.filterIndex = filterIndex;
    chosen.replace = exists;
    return true;
}

JoinRun::NameCheck JoinRun::CheckName(const QString& path, const QStringList& sources) {
    for (const QString& source : sources)
        if (OutputNames::SameFile(path, source))
            return {QStringLiteral("\"%1\" is one of the files being joined. Please choose "
                                   "another name for the joined file.")
                        .arg(displayName(path)),
                    true};
    return {QString(), OutputNames::Exists(path)};
}

void JoinRun::Run(PiecePlan::Mode mode, const Output& output) {
    RunSupport::Present(RunSupport::Carry(c_,
                                          [this, mode, output](RunRequest request) {
                                              return Join(mode, output, std::move(request));
                                          }),
                        c_.desktop);
}

RunOutcome JoinRun::Join(PiecePlan::Mode mode, const Output& output, RunRequest request) {
    request_ = std::move(request);
    function_ = PiecePlan::Function::Of(mode, request_.options);
    whole_ = !PiecePlan::CutsSegments(mode);
    const RunOptions& options = request_.options;
    const int files = request_.files();
    if (files <= 0)
        return {};
    RunOutcome outcome;

    // A link the user agreed to replace stays a link: its file is replaced.
    const QString target = output.replace && QFileInfo(output.path).isSymLink() &&
                                   !QFileInfo(output.path).canonicalFilePath().isEmpty()
                               ? QFileInfo(output.path).canonicalFilePath()
                               : output.path;
    PendingOutput pending;
    // Sources whose samples had faults the writer clipped, with how many.
    std::vector<std::pair<QString, std::int64_t>> faulty;
    try {
        ConfigureEncoder(output.filterIndex - 1, options.encoder(), options.mp3CommandLine,
                         c_.writer, c_.encoder);
        T = total();
        W = 0;
        joined_.clear();
        fadeSpan_ = 0;
        written_ = 0;

        if (c_.reader.IsOpen())
            c_.reader.Close();
        c_.reader.Open(request_.jobs.front().FileName, 0, 1);
        R0 = c_.reader.SampleRate();
        C0 = c_.reader.Channels();
        // Lossless outputs keep the first file's depth, as its rate.
        const int bits = c_.reader.SampleBits();
        c_.reader.Close();
        if (R0 <= 0 || C0 <= 0)
            throw Error(QStringLiteral("%1 holds no audio")
                            .arg(displayName(request_.jobs.front().FileName)));
        if (options.cut.fadeOut)
            planFadeOut(files);

        c_.writer.SetSampleFormat(R0, C0);
        c_.writer.SetSampleBits(bits);
        if (c_.writer.IsOpen())
            c_.writer.Close();
        if (AudioFile2::IsSource(target))
            throw Error(QStringLiteral("Cannot create %1: it is one of the source files and would "
                                       "be overwritten")
                            .arg(target));
        pending.create(target);
        c_.writer.CreateOutput(pending.path(), 0);
        c_.writer.SetSampleFormat(R0, C0);
        // Encoders that pad their last frame end on the join's last frame
        // when they know its length; a source of another rate is resampled to
        // a count known only roughly.
        if (std::all_of(request_.jobs.begin(), request_.jobs.end(),
                        [&](const listrecord& file) { return file.SampleRate == R0; }))
            c_.writer.SetOutputLength(T);

        for (int i = 0; i < files; ++i) {
            if (!goOn())
                break;
            const std::int64_t faultsBefore = c_.writer.FaultySamples();
            joinFile(i);
            if (const std::int64_t faults = c_.writer.FaultySamples() - faultsBefore; faults > 0)
                faulty.emplace_back(request_.jobs[static_cast<size_t>(i)].FileName, faults);
        }

        c_.writer.Close();
        // Stopped or not, what was joined is a complete file.
        if (output.replace)
            pending.completeReplacing();
        else
            pending.complete([&] { return OutputNames::FreeVariant(target); });
        // Under the name it got, which a file appearing meanwhile may have
        // changed; a replaced link keeps the name the user gave.
        const QString written = pending.finalPath() == target ? output.path : pending.finalPath();
        RunOutcome::Piece ended{0, 0, written, {}, RunOutcome::Status::Written, {}, {}};
        ended.rate = R0;
        ended.planned = target;
        ended.joined = joined_;
        outcome.pieces.push_back(ended);
        c_.host.JoinEnded(ended);
    } catch (...) {
        // Nothing of a failed join is left behind; the error is shown after.
        RunOutcome::Piece ended{0,
                                0,
                                {},
                                {},
                                RunOutcome::Status::Failed,
                                RunSupport::ReasonOf(std::current_exception()),
                                {}};
        ended.rate = R0;
        ended.planned = target;
        ended.joined = joined_;
        outcome.pieces.push_back(ended);
        c_.host.JoinEnded(ended);
        RunSupport::CloseQuietly(c_.writer);
        RunSupport::CloseQuietly(c_.reader);
        try {
            pending.abandon();
        } catch (...) {
            outcome.failure = std::current_exception();
        }
        return outcome;
    }
    RunSupport::ResetProgress(c_.host);
    for (const auto& [name, faults] : faulty)
        outcome.messages.push_back(
            {RunOutcome::Message::Kind::Warning,
             QStringLiteral("%1 holds %2 samples that are not numbers or lie far "
                            "beyond full scale; they were clipped in the joined "
                            "file.")
                 .arg(name)
                 .arg(faults)});
    if (pending.finalPath() != target)
        outcome.messages.push_back(
            {RunOutcome::Message::Kind::Information,
             QStringLiteral("A file named \"%1\" appeared while the files were joined. The "
                            "joined file was saved as \"%2\".")
                 .arg(displayName(target), displayName(pending.finalPath()))});
    return outcome;
}

void JoinRun::planFadeOut(int files) {
    // The fade is measured in frames of the output, whatever rate each file
    // has, so it is one ramp of its full length however many files it spans.
    // That needs every file's rate before the first block is written.
    fadeOutFrames_ = FramePosition::Frames(request_.options.cut.fadeOutSeconds, R0);
    outputTotal_ = 0;
    for (int i = 0; i < files && static_cast<size_t>(i) < fileFrames_.size(); ++i) {
        int rate = R0;
        if (i > 0) {
            c_.reader.Open(request_.jobs[static_cast<size_t>(i)].FileName, 0, 1);
            rate = c_.reader.SampleRate();
            c_.reader.Close();
        }
        if (rate > 0)
            outputTotal_ += static_cast<qint64>(
                std::llround(static_cast<double>(fileFrames_[static_cast<size_t>(i)]) * R0 / rate));
    }
}

std::vector<PiecePlan::Piece> JoinRun::piecesOf(int file) const {
    if (whole_)
        return {};
    // As the record knows the source: a piece is joined to its end, without
    // the tail a split piece's blocks leave out.
    const listrecord& record = request_.jobs[static_cast<size_t>(file)];
    return PiecePlan::Of(function_, request_.jobs, file, PiecePlan::Source::Of(record));
}

qint64 JoinRun::total() {
    const int files = request_.files();
    fileFrames_.assign(static_cast<size_t>(std::max(files, 0)), 0);
    qint64 sum = 0;
    for (int i = 0; i < files; ++i) {
        qint64 frames = 0;
        if (whole_)
            frames = request_.jobs[static_cast<size_t>(i)].SampleCount;
        for (const PiecePlan::Piece& piece : piecesOf(i))
            frames += piece.frames();
        fileFrames_[static_cast<size_t>(i)] = frames;
        sum += frames;
    }
    return sum;
}

void JoinRun::joinFile(int file) {
    const listrecord& record = request_.jobs[static_cast<size_t>(file)];
    fadeInLen_ = FramePosition::Frames(request_.options.cut.fadeInSeconds, record.SampleRate);
    c_.host.FileStarted(file);

    // The segments the list shows while the file is joined: its own, or the
    // first file's.
    listrecord segments =
        PiecePlan::SharesSegments(function_.mode) ? request_.jobs.front() : record;
    Segments::Normalise(segments);
    if (whole_)
        c_.host.RowsPlanned({RunRows::Kind::Whole, file, record, {}, 0});
    else
        c_.host.RowsPlanned({RunRows::Kind::Segments, file, segments, {}, 0});

    if (c_.reader.IsOpen())
        c_.reader.Close();
    c_.reader.Open(record.FileName, 0, 1);
    source_ = record.FileName;
    const int rate = c_.reader.SampleRate();
    if (rate <= 0)
        throw Error(QStringLiteral("%1 holds no audio").arg(displayName(record.FileName)));
    if (rate == R0) {
        up_ = true;
        ratio_ = 1.0;
    } else if (R0 < rate) {
        up_ = true;
        ratio_ = static_cast<double>(rate) / R0;
    } else {
        up_ = false;
        ratio_ = static_cast<double>(R0) / rate;
    }
    c_.reader.SetSampleFormat(R0, C0);
    // One output: decoding ahead puts a second core to work beside the encoder.
    c_.reader.SetReadAhead(true);

    if (whole_) {
        const qint64 reached = copyBlocks(0, 0);
        joined_.push_back({file, 0, 0, !c_.control.stopped() ? record.SampleCount : reached, rate});
        c_.host.JoinRowEnded(0);
    } else {
        for (const PiecePlan::Piece& piece : piecesOf(file)) {
            if (!goOn())
                break;
            const int j = piece.row;
            c_.host.JoinRowStarted(j);
            c_.reader.Seek(piece.begin, 3);
            const std::int64_t reached = copyBlocks(piece.begin, piece.end);
            if (piece.written())
                joined_.push_back({file, j, piece.begin,
                                   !c_.control.stopped() ? piece.end : std::min(reached, piece.end),
                                   rate});
            c_.host.JoinRowEnded(j);
        }
    }
    c_.reader.Close();
}

qint64 JoinRun::copyBlocks(qint64 start, qint64 end) {
    const RunOptions& options = request_.options;
    const bool fadeIn = options.cut.fadeIn && fadeInLen_ > 0;
    qint64 pos = start;
    qint64 asked = start; // the source frame the reader is at
    do {
        if (!goOn())
            break;
        // Counts are frames of the source, whatever the reader converts them
        // to; a piece's block never reaches past the piece's end.
        const qint64 left = whole_ ? std::numeric_limits<qint64>::max() : end - pos;
        // A source slower than the output grows when converted; its blocks
        // are shortened to keep every block the output's usual size.
        const qint64 usual =
            up_ ? qint64(C0) * R0 : std::max<qint64>(1, std::llround(qint64(C0) * R0 / ratio_));
        // A read of fewer source frames than make two output frames may
        // deliver nothing or a lone sample without the source having ended.
        const auto fewest = static_cast<qint64>(std::ceil(sourceFrames(2)));
        qint64 n = std::min<qint64>(left, usual);
        const bool fadeInBlock = fadeIn && W == 0;
        if (fadeInBlock)
            n = std::min<qint64>(fadeInLen_, left);
        // Output frames still to come, and whether the fade-out has begun.
        const qint64 remaining = outputTotal_ - written_;
        bool fadeOutBlock =
            options.cut.fadeOut && fadeOutFrames_ > 0 && remaining <= fadeOutFrames_;
        if (options.cut.fadeOut && fadeOutFrames_ > 0 && !fadeOutBlock) {
            // Stop short of the fade-out, so no block jumps over its start.
            const auto toFadeStart = static_cast<qint64>(sourceFrames(remaining - fadeOutFrames_));
            if (toFadeStart < fewest)
                fadeOutBlock = true;
            else if (!fadeInBlock)
                n = std::min(n, toFadeStart);
        }
        if (n < 1)
            break;
        const auto count =
            static_cast<int>(std::min<qint64>(n, std::numeric_limits<std::int32_t>::max()));

        SampleArray block = c_.reader.ReadSamples(count);
        const int U = block.UpperBound();
        if (U <= 1) {
            // A lone sample is the end as ever; nothing at all is the end
            // only where the source ends, or has too few frames left to
            // make one.
            if (U < 1 && count >= fewest)
                RunSupport::RequireEnd(c_.reader, source_, asked + fewest - 1);
            break;
        }
        asked += count;
        const double frames = static_cast<double>(U) / C0;
        const double consumed = up_ ? frames * ratio_ : frames / ratio_;
        // Ties to even, the default rounding mode.
        const auto r = static_cast<qint64>(std::nearbyint(consumed));

        if (fadeInBlock)
            c_.transform.Fade(block, 0.0f, 100.0f);
        const qint64 out = U / C0;
        if (fadeOutBlock) {
            // One continuous ramp to silence over what is left of the join,
            // even when it is written in several blocks (pieces or files).
            if (fadeSpan_ <= 0)
                fadeSpan_ = std::max<qint64>(remaining, 1);
            const qint64 before = std::clamp<qint64>(remaining, 0, fadeSpan_);
            const qint64 after = std::clamp<qint64>(remaining - out, 0, fadeSpan_);
            c_.transform.Fade(block, static_cast<float>(100.0 * before / fadeSpan_),
                              static_cast<float>(100.0 * after / fadeSpan_));
        }
        written_ += out;

        W = std::min(W + r, T);
        pos += r;
        showProgress();
        c_.writer.WriteSamples(block);
    } while (whole_ || pos < end);
    return pos;
}

double JoinRun::sourceFrames(qint64 outputFrames) const {
    const double frames = static_cast<double>(std::max<qint64>(outputFrames, 0));
    return up_ ? frames * ratio_ : frames / ratio_;
}

bool JoinRun::goOn() {
    c_.host.Checkpoint();
    return !c_.control.stopped();
}

void JoinRun::showProgress() {
    // Computed on the full 64-bit counts, so joins longer than 2^31 frames
    // still show a true percentage.
    const auto v = T > 0 ? static_cast<int>((W * 10000 + T / 2) / T) : 0;
    c_.host.SetRunText(QString::number(v / 100) + QLatin1Char('%'));
    c_.host.SetRunProgress(v);
}
