#pragma once

#include "engine/PieceBlocks.h"
#include "engine/audio/StreamCutter.h"

#include <QString>

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

class AudioFile2;
class AudioTransform2;
class IAudioFile2;
class IAudioFile2LameEnc;
class SettingsFile;

// Threads that write pieces of one source side by side. Each worker has a
// reader of its own, opened on the source at its first decoded piece; the writer of
// a piece comes with the job, its output already created, so that naming,
// tags and statuses stay with the caller's thread. A worker fills in only
// the job's progress, and its end once the writer is closed.
class PieceWorkers {
public:
    // More workers than this would not fit the memory a run may take.
    static constexpr int MaxWorkers = 16;

    // How many workers a run may use: the settings file's "workers" key of
    // section "Run", 0 (the default) meaning one for every core.
    static int Allowed(const SettingsFile& settings);
    // The key as the user set it: 0 for one worker per core, else the count.
    static int Asked(const SettingsFile& settings);
    static void SetAllowed(SettingsFile& settings, int workers);

    struct Job {
        int row = 0;
        PieceBlocks::Piece piece;
        std::int64_t sourceFrames = 0;               // as the run measured the source
        std::unique_ptr<IAudioFile2LameEnc> encoder; // the writer's MP3 settings
        std::unique_ptr<IAudioFile2> writer;
        // A piece copied rather than decoded: the cutter writes it to
        // `output` (created), and the writer stays unused.
        std::shared_ptr<const StreamCutter> cutter;
        QString output;
        std::atomic<std::int64_t> done{0}; // frames written so far
        std::atomic<bool> stop{false};     // ends the piece where it is
        // Written by the worker before the job is handed back: whether it
        // was begun (a job stopped before any worker took it is not), and
        // what failed.
        bool begun = false;
        std::exception_ptr error;
    };

    PieceWorkers(int count, QString source);
    // Stops every job not yet ended and waits for the workers.
    ~PieceWorkers();
    PieceWorkers(const PieceWorkers&) = delete;
    PieceWorkers& operator=(const PieceWorkers&) = delete;

    int count() const { return static_cast<int>(threads_.size()); }
    void submit(std::shared_ptr<Job> job);
    // The jobs ended since the last call, waiting up to `waitMs` for one
    // when none has.
    std::vector<std::shared_ptr<Job>> takeEnded(int waitMs);

private:
    void work();
    // The job's piece, copied by its cutter.
    static void copy(Job& job);
    // The job's piece, decoded by the worker's reader (opened on the source
    // at its first piece and kept: opening reads the source's index).
    void decode(Job& job, std::unique_ptr<AudioFile2>& reader, AudioTransform2& transform);

    const QString source_;
    std::mutex mutex_;
    std::condition_variable queued_;
    std::condition_variable ended_;
    std::deque<std::shared_ptr<Job>> queue_;
    std::vector<std::shared_ptr<Job>> running_;
    std::vector<std::shared_ptr<Job>> endedJobs_;
    bool closing_ = false;
    std::vector<std::thread> threads_; // started last, once the rest is set up
};
