#include "engine/SplitRun.h"

#include "core/AppState.h"
#include "core/ReportListModel.h"
#include "core/SegmentList.h"
#include "core/Segments.h"
#include "engine/ConfigureEncoder.h"
#include "engine/EncoderKey.h"
#include "engine/OutputNames.h"
#include "engine/PendingOutput.h"
#include "engine/RunHost.h"
#include "engine/audio/IAudioFile2.h"
#include "engine/audio/IAudioTransform2.h"
#include "platform/Desktop.h"
#include "platform/Error.h"
#include "platform/MulDiv.h"
#include "tags/OutputTags.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <functional>

namespace {

constexpr int StatusColumn = 2;
// The custom run leaves out a tail shorter than this many frames.
constexpr std::int32_t CustomTail = 100;

} // namespace

SplitRun::SplitRun(RunContext& context) : c_(context) {}

void SplitRun::RunCustomSplit() {
    run(Kind::Custom);
}

void SplitRun::RunTimeSplit() {
    run(Kind::Time);
}

void SplitRun::RunCountSplit() {
    run(Kind::Count);
}

void SplitRun::RunUnifiedSplit() {
    run(Kind::Unified);
}

void SplitRun::StopRun(AppState& state, RunHost& host, ReportListModel& lvTime) {
    state.Busy = false;
    // A run that failed left its piece at "Converting" and its percentage on
    // screen; a run still going marks its piece itself once it notices.
    ResetProgress(host);
    for (int row = 0; row < lvTime.count(); ++row)
        if (lvTime.text(row, StatusColumn) == SegmentStatus::Converting)
            lvTime.setText(row, StatusColumn, SegmentStatus::Unconvert);
}

void SplitRun::OpenOutputFolder(Desktop& desktop, const QString& outputDir) {
    desktop.openOrTell(QUrl::fromLocalFile(outputDir), QStringLiteral("the output folder"));
}

SplitRun::WorkingRows SplitRun::ApplyWorkingRowStep(ReportListModel& lvTime) {
    if (lvTime.count() == 1) {
        lvTime.setText(0, StatusColumn, SegmentStatus::Confirmed);
        return {1, false};
    }
    if (lvTime.count() == 0)
        return {0, false};
    lvTime.remove(lvTime.count() - 1);
    return {lvTime.count(), true};
}

void SplitRun::CloseQuietly(IAudioFile2& component) {
    try {
        if (component.IsOpen())
            component.Close();
    } catch (...) {
        // The first failure is the one the user sees.
    }
}

void SplitRun::ResetProgress(RunHost& host) {
    host.SetRunText(QString());
    host.SetRunProgress(0);
}

void SplitRun::RequireEnd(IAudioFile2& reader, const QString& file, qint64 position) {
    const qint64 frames = reader.SampleCount();
    if (position >= frames)
        return;
    const qint64 second = position * reader.DurationMs() / frames / 1000;
    throw Error(QStringLiteral("Cannot read %1 at second %2: the audio stopped before the end "
                               "of the file; it may have been changed or damaged")
                    .arg(file)
                    .arg(second));
}

void SplitRun::run(Kind kind) {
    AppState& state = c_.state;
    const int files = std::min(c_.lv.count(), static_cast<int>(state.JobList.size()));
    if (files <= 0)
        return;

    state.Busy = true;
    ParityToggle = true;

    // Which files had their working row taken off the list, so that exactly
    // those get it back at the end. A file cut as its single segment keeps
    // its count, so the count never runs past the time arrays.
    std::vector<bool> workingRowTaken(static_cast<size_t>(files), false);
    int stoppedAt = files;

    const auto restoreWorkingRows = [&] {
        if (kind == Kind::Custom) {
            for (int i = 0; i < stoppedAt && i < files; ++i)
                if (workingRowTaken[static_cast<size_t>(i)])
                    state.JobList[static_cast<size_t>(i)].SegmentCount += 1;
        } else if (kind == Kind::Unified && !workingRowTaken.empty() && workingRowTaken[0]) {
            state.JobList.front().SegmentCount += 1;
        }
    };

    try {
        if (kind == Kind::Unified) {
            // Rebuilt first, so the rows that are cut and marked are exactly
            // the shared segments, whatever the list showed before.
            listrecord& shared = state.JobList.front();
            c_.segments.FillSegments(shared);
            const WorkingRows rows = ApplyWorkingRowStep(c_.lvTime);
            shared.SegmentCount = std::max(rows.rows, 0);
            workingRowTaken[0] = rows.removed;
        }
        runFiles(kind, stoppedAt, workingRowTaken);
    } catch (...) {
        // Close what is open so the output written so far is a complete
        // file, and give the segments back before the error is shown.
        CloseQuietly(c_.writer);
        CloseQuietly(c_.reader);
        restoreWorkingRows();
        throw;
    }

    state.Busy = false;
    ResetProgress(c_.host);
    restoreWorkingRows();
}

void SplitRun::runFiles(Kind kind, int& stoppedAt, std::vector<bool>& workingRowTaken) {
    AppState& state = c_.state;
    const int files = static_cast<int>(workingRowTaken.size());
    for (int i = 0; i < files; ++i) {
        c_.host.processEvents();
        if (!state.Busy) {
            stoppedAt = i;
            return;
        }
        listrecord& record = state.JobList[static_cast<size_t>(i)];
        fadeOutLen_ = MulDiv(state.FadeOutSeconds, record.SampleCount, record.Duration);
        fadeInLen_ = MulDiv(state.FadeInSeconds, record.SampleCount, record.Duration);

        state.CurrentFile = c_.host.selectFileRow(i);
        switch (kind) {
        case Kind::Custom: {
            c_.segments.FillSegments(record);
            const WorkingRows rows = ApplyWorkingRowStep(c_.lvTime);
            record.SegmentCount = rows.rows;
            workingRowTaken[static_cast<size_t>(i)] = rows.removed;
            break;
        }
        case Kind::Time:
            c_.segments.FillTimePieces(record.Duration);
            break;
        case Kind::Count:
            c_.segments.FillCountPieces(record.Duration);
            break;
        case Kind::Unified:
            break;
        }
        c_.host.focusFileList();

        if (c_.reader.IsOpen())
            c_.reader.Close();
        c_.reader.Open(record.FileName, 0, 1);
        source_ = record.FileName;
        sampleCount_ = c_.reader.SampleCount();
        durationMs_ = c_.reader.DurationMs();
        rate_ = c_.reader.SampleRate();
        channels_ = c_.reader.Channels();
        if (rate_ <= 0 || channels_ <= 0)
            throw Error(QStringLiteral("%1 holds no audio").arg(record.FileName));
        cutter_.reset();
        cutterProblem_.clear();

        const std::vector<Piece> pieces = piecesOf(kind, i);
        for (int k = 0; k < static_cast<int>(pieces.size()); ++k) {
            c_.host.processEvents();
            if (!state.Busy)
                break;
            const Piece& piece = pieces[static_cast<size_t>(k)];
            const std::int32_t start = frameOf(piece.begin);
            const std::int32_t length = frameOf(piece.end) - start;
            // A piece of no length would be a file without audio: it is not
            // written, and its row keeps the status it had.
            if (length <= 0)
                continue;
            writePiece(kind, i, k, start, length);
        }
        c_.reader.Close();
    }
}

std::vector<SplitRun::Piece> SplitRun::piecesOf(Kind kind, int file) const {
    const AppState& state = c_.state;
    const listrecord& record = state.JobList[static_cast<size_t>(file)];
    std::vector<Piece> pieces;
    switch (kind) {
    case Kind::Custom: {
        const auto count = static_cast<size_t>(std::max(record.SegmentCount, 0));
        for (size_t k = 0; k < count && k < record.BeginTimes.size() && k < record.EndTimes.size();
             ++k)
            pieces.push_back({record.BeginTimes[k], record.EndTimes[k]});
        break;
    }
    case Kind::Time:
        for (const Segments::Piece& p : Segments::TimePieces(record.Duration, state.SplitSeconds))
            pieces.push_back({p.begin, p.end});
        break;
    case Kind::Count:
        for (const Segments::Piece& p : Segments::CountPieces(record.Duration, state.SplitCount))
            pieces.push_back({p.begin, p.end});
        break;
    case Kind::Unified: {
        const listrecord& shared = state.JobList.front();
        const auto count = static_cast<size_t>(std::max(shared.SegmentCount, 0));
        for (size_t k = 0; k < count && k < shared.BeginTimes.size() && k < shared.EndTimes.size();
             ++k) {
            const std::int32_t begin = shared.BeginTimes[k];
            // A segment that begins after this file's end ends its pieces.
            if (record.Duration < begin)
                break;
            pieces.push_back({begin, std::min(record.Duration, shared.EndTimes[k])});
        }
        break;
    }
    }
    return pieces;
}

std::int32_t SplitRun::frameOf(std::int32_t seconds) const {
    return MulDiv(
        static_cast<std::int32_t>(std::clamp<qint64>(qint64(seconds) * 1000, INT32_MIN, INT32_MAX)),
        sampleCount_, durationMs_);
}

void SplitRun::writePiece(Kind kind, int file, int row, std::int32_t start, std::int32_t length) {
    AppState& state = c_.state;
    const listrecord& record = state.JobList[static_cast<size_t>(file)];

    c_.reader.Seek(start, 3);
    pieceStart_ = start;

    if (c_.writer.IsOpen())
        c_.writer.Close();
    // The format box, the output folder and the encoder settings may change
    // during a run; each output takes them as they are now.
    const int format = std::clamp(c_.host.formatIndex(), 0, 3);
    ConfigureEncoder(format, c_.settings, state.Mp3CommandLine, c_.writer, c_.encoder);
    const QString extension = OutputNames::Extension(format);
    const QString folder = state.OutputDir;
    const QString caption = c_.lv.text(file, 0);
    // Asked again when a file of the chosen name turns up before the output
    // is complete.
    std::function<QString()> name = [&] {
        return OutputNames::SplitOutput(folder, caption, extension, kind != Kind::Custom);
    };

    c_.writer.SetSampleFormat(rate_, channels_);
    if (c_.writer.IsOpen())
        c_.writer.Close();
    // A fresh account may have no music folder yet; the first run should
    // not fail on the default output folder.
    if (!folder.isEmpty() && !QFileInfo::exists(folder))
        QDir().mkpath(folder);

    pieceNote_.clear();
    bool copy = false;
    if (format == OutputOgg &&
        state.OggCopy.value_or(EncoderKeys::OggCopy.encoderFlag(c_.settings))) {
        const QString obstacle = copyObstacle(record, start, length);
        copy = obstacle.isEmpty();
        if (!copy)
            pieceNote_ = QStringLiteral("re-encoded (%1)").arg(obstacle);
    }
    PendingOutput output;
    try {
        const auto open = [&] {
            output.create(name());
            if (!copy)
                c_.writer.CreateOutput(output.path(), 0);
        };
        try {
            open();
        } catch (const std::exception&) {
            CloseQuietly(c_.writer);
            output.discard();
            QStringList sources;
            for (const listrecord& r : state.JobList)
                sources.append(r.FileName);
            name = [&, sources] {
                return OutputNames::Fallback(folder, record.FileName, extension, sources);
            };
            open();
        }
        if (copy) {
            copyPiece(row, output.path(), start, length);
        } else {
            c_.lvTime.setText(row, StatusColumn, SegmentStatus::Converting);
            c_.writer.SetSampleFormat(rate_, channels_);

            // A piece cut short by Stop is still closed, tagged and marked
            // finished: what was written so far is a complete file the user
            // keeps.
            copyBlocks(kind, length);

            c_.writer.Close();
        }
        const AudioFileinfo tags = static_cast<size_t>(file) < state.TagList.size()
                                       ? state.TagList[static_cast<size_t>(file)]
                                       : AudioFileinfo();
        WriteOutputTags(output.path(), tags);
        output.complete(name);
    } catch (...) {
        // Nothing of a failed piece is left behind.
        CloseQuietly(c_.writer);
        output.abandon();
    }
    c_.lvTime.setText(row, StatusColumn, SegmentStatus::Finish);
    c_.lvTime.setNote(row, pieceNote_);
}

QString SplitRun::copyObstacle(const listrecord& record, std::int32_t start, std::int32_t length) {
    const AppState& state = c_.state;
    if ((state.FadeIn && fadeInLen_ > 0) || (state.FadeOut && fadeOutLen_ > 0))
        return QStringLiteral("fade");
    if (!cutter_ && cutterProblem_.isEmpty()) {
        try {
            cutter_ = std::make_unique<VorbisStreamCutter>(record.FileName);
            // The packets must count the frames as the reader does, or the
            // pieces would not be the ones the segments name.
            if (std::min<std::int64_t>(cutter_->index().totalFrames(), INT32_MAX) != sampleCount_)
                cutterProblem_ = QStringLiteral("damaged source");
        } catch (const Error&) {
            cutterProblem_ = QStringLiteral("unreadable source");
        }
    }
    if (!cutterProblem_.isEmpty())
        return cutterProblem_;
    return cutter_->obstacle(start, std::int64_t(start) + length);
}

void SplitRun::copyPiece(int row, const QString& path, std::int32_t start, std::int32_t length) {
    AppState& state = c_.state;
    pieceNote_ = QStringLiteral("copied");
    const auto progress = [&](std::int64_t frames) {
        const std::int32_t v = MulDiv(
            static_cast<std::int32_t>(std::min<std::int64_t>(frames, length)), 10000, length);
        c_.host.SetRunText(QString::number(v / 100) + QStringLiteral("% ") + pieceNote_);
        c_.host.SetRunProgress(v);
        c_.host.processEvents();
        // Stop ends the piece where it is, still as a complete file.
        return state.Busy;
    };
    c_.lvTime.setText(row, StatusColumn, SegmentStatus::Converting);
    cutter_->write(start, std::int64_t(start) + length, path, progress);
}

void SplitRun::copyBlocks(Kind kind, std::int32_t length) {
    AppState& state = c_.state;
    const std::int32_t L = length;
    std::int32_t P = 0;
    qint64 asked = 0; // frames of the source asked for so far
    // A fade of no length is no fade; reading zero frames would end the piece.
    const bool fadeIn = state.FadeIn && fadeInLen_ > 0;
    while (P < L) {
        c_.host.processEvents();
        if (!state.Busy)
            break;
        std::int32_t n = std::min(L - P, rate_ * channels_);
        const bool firstBlockFade = fadeIn && P == 0;
        // The fade-in block stops at the piece's end, never past it.
        if (firstBlockFade)
            n = std::min(fadeInLen_, L - P);
        const bool fadeOutBlock = state.FadeOut && fadeOutLen_ >= L - P;
        if (fadeOutBlock)
            n = L - P;
        else if (state.FadeOut && fadeOutLen_ > 0 && !firstBlockFade)
            // Stop short of the fade-out, so it starts exactly FadeOutLen
            // before the end instead of being skipped by a long block.
            n = std::min(n, L - P - fadeOutLen_);

        SampleArray block = c_.reader.ReadSamples(n);
        int U = block.UpperBound();
        if (U < 1) {
            RequireEnd(c_.reader, source_, pieceStart_ + asked);
            break;
        }
        asked += n;
        if (U % 2 != 0) {
            U = ParityToggle ? U + 1 : U - 1;
            ParityToggle = !ParityToggle;
        }
        if (firstBlockFade)
            c_.transform.Fade(block, 0.0f, 100.0f);
        if (fadeOutBlock)
            c_.transform.Fade(block, 100.0f, 0.0f);
        P += U / channels_;

        const std::int32_t v = MulDiv(P, 10000, L);
        c_.host.SetRunText(QString::number(v / 100) + QLatin1Char('%') +
                           (pieceNote_.isEmpty() ? QString() : QLatin1Char(' ') + pieceNote_));
        c_.host.SetRunProgress(v);

        c_.writer.WriteSamples(block);
        if (kind == Kind::Custom && L - P < CustomTail)
            break;
    }
}
