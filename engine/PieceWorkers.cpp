#include "engine/PieceWorkers.h"

#include "engine/audio/AudioFile2.h"
#include "engine/audio/AudioTransform2.h"
#include "platform/Error.h"
#include "platform/SettingsFile.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace {

const QString Section = QStringLiteral("Run");
const QString Key = QStringLiteral("workers");
} // namespace

int PieceWorkers::Allowed(const SettingsFile& settings) {
    const int asked = Asked(settings);
    const int cores = static_cast<int>(std::thread::hardware_concurrency());
    return std::clamp(asked > 0 ? asked : cores, 1, MaxWorkers);
}

int PieceWorkers::Asked(const SettingsFile& settings) {
    // A value edited by hand into nonsense falls back into range.
    return std::clamp(settings.ReadInteger(Section, Key, 0), 0, MaxWorkers);
}

void PieceWorkers::SetAllowed(SettingsFile& settings, int workers) {
    settings.WriteInteger(Section, Key, workers);
}

PieceWorkers::PieceWorkers(int count, QString source) : source_(std::move(source)) {
    threads_.reserve(static_cast<std::size_t>(std::clamp(count, 1, MaxWorkers)));
    for (std::size_t i = 0; i < threads_.capacity(); ++i)
        threads_.emplace_back([this] { work(); });
}

PieceWorkers::~PieceWorkers() {
    {
        const std::lock_guard lock(mutex_);
        closing_ = true;
        queue_.clear();
        for (const auto& job : running_)
            job->stop = true;
    }
    queued_.notify_all();
    for (std::thread& thread : threads_)
        thread.join();
}

void PieceWorkers::submit(std::shared_ptr<Job> job) {
    {
        const std::lock_guard lock(mutex_);
        queue_.push_back(std::move(job));
    }
    queued_.notify_one();
}

std::vector<std::shared_ptr<PieceWorkers::Job>> PieceWorkers::takeEnded(int waitMs) {
    std::unique_lock lock(mutex_);
    ended_.wait_for(lock, std::chrono::milliseconds(waitMs),
                    [this] { return !endedJobs_.empty(); });
    return std::exchange(endedJobs_, {});
}

void PieceWorkers::work() {
    std::unique_ptr<AudioFile2> reader; // see decode
    AudioTransform2 transform;
    for (;;) {
        std::shared_ptr<Job> job;
        {
            std::unique_lock lock(mutex_);
            queued_.wait(lock, [this] { return closing_ || !queue_.empty(); });
            if (closing_)
                return;
            job = std::move(queue_.front());
            queue_.pop_front();
            running_.push_back(job);
        }
        job->begun = !job->stop.load();
        try {
            if (job->begun && job->cutter)
                copy(*job);
            else if (job->begun)
                decode(*job, reader, transform);
        } catch (...) {
            job->error = std::current_exception();
            // The next piece starts from a fresh reader.
            reader.reset();
        }
        {
            const std::lock_guard lock(mutex_);
            running_.erase(std::find(running_.begin(), running_.end(), job));
            endedJobs_.push_back(std::move(job));
        }
        ended_.notify_all();
    }
}

void PieceWorkers::copy(Job& job) {
    const PieceBlocks::Piece& piece = job.piece;
    const std::int64_t frames = job.cutter->write(
        piece.start, piece.start + piece.length, job.output, [&job](std::int64_t done) {
            job.done.store(done, std::memory_order_relaxed);
            return !job.stop.load(std::memory_order_relaxed);
        });
    job.done.store(std::min(frames, piece.length));
}

void PieceWorkers::decode(Job& job, std::unique_ptr<AudioFile2>& reader,
                          AudioTransform2& transform) {
    if (!reader) {
        reader = std::make_unique<AudioFile2>();
        try {
            reader->Open(source_, 0, 1);
        } catch (const Error&) {
            reader.reset();
        }
    }
    // The run measured the source before; a source changed since would
    // give pieces other than the ones asked for.
    if (!reader || reader->SampleCount() != job.sourceFrames)
        throw Error(
            QStringLiteral("Cannot read %1 at second %2: the file changed while it was being cut")
                .arg(source_)
                .arg(job.piece.start / std::max(job.piece.rate, 1)));
    reader->Seek(job.piece.start, 3);
    PieceBlocks::Copy(
        job.piece, *reader, *job.writer, transform,
        [&job] { return !job.stop.load(std::memory_order_relaxed); },
        [&job](std::int64_t done) { job.done.store(done, std::memory_order_relaxed); });
    job.writer->Close();
}
