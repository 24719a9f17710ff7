#include "engine/WaveformBuilder.h"

#include "engine/audio/PeakScanner.h"
#include "platform/Error.h"

#include <QSet>
#include <QThread>

#include <algorithm>
#include <exception>

struct WaveformBuilder::Job {
    QString path;
    bool urgent = false;
    std::atomic<bool> started{false};
    std::atomic<bool> cancelled{false};
};

WaveformBuilder::WaveformBuilder(std::size_t memoryLimit, QObject* parent)
    : QObject(parent), limit_(memoryLimit) {
    // One core stays free for the window and the preview.
    pool_.setMaxThreadCount(std::max(1, QThread::idealThreadCount() - 1));
    pool_.setThreadPriority(QThread::LowPriority);
}

WaveformBuilder::~WaveformBuilder() {
    cancelAll();
    pool_.clear();
    pool_.waitForDone();
}

void WaveformBuilder::request(const QString& path, bool urgent) {
    if (path.isEmpty() || cache_.contains(path) || failures_.contains(path))
        return;
    if (const auto queued = jobs_.value(path)) {
        if (!urgent || queued->urgent || queued->started)
            return;
        // Waiting behind others: called off and queued again in front.
        queued->cancelled = true;
    }
    auto job = std::make_shared<Job>();
    job->path = path;
    job->urgent = urgent;
    jobs_.insert(path, job);
    pool_.start(
        [this, job] {
            job->started = true;
            std::shared_ptr<const AudioOverview> result;
            QString error;
            try {
                result = std::make_shared<const AudioOverview>(
                    PeakScanner::Scan(job->path, &job->cancelled));
            } catch (const PeakScanner::Cancelled&) {
                return;
            } catch (const std::exception& e) {
                error = QString::fromUtf8(e.what());
            }
            if (job->cancelled)
                return;
            // Delivered on the builder's thread; dropped if the builder
            // is gone by then.
            QMetaObject::invokeMethod(
                this, [this, job, result, error] { finished(job, result, error); },
                Qt::QueuedConnection);
        },
        urgent ? 1 : 0);
}

void WaveformBuilder::cancel(const QString& path) {
    if (const auto job = jobs_.take(path))
        job->cancelled = true;
}

void WaveformBuilder::cancelAll() {
    for (const auto& job : std::as_const(jobs_))
        job->cancelled = true;
    jobs_.clear();
}

void WaveformBuilder::retain(const QStringList& paths) {
    const QSet<QString> keep(paths.begin(), paths.end());
    for (auto it = jobs_.begin(); it != jobs_.end();) {
        if (keep.contains(it.key())) {
            ++it;
            continue;
        }
        it.value()->cancelled = true;
        it = jobs_.erase(it);
    }
    // A file added again later is tried again.
    for (auto it = failures_.begin(); it != failures_.end();)
        it = keep.contains(it.key()) ? std::next(it) : failures_.erase(it);
}

std::shared_ptr<const AudioOverview> WaveformBuilder::overview(const QString& path) {
    const auto it = cache_.find(path);
    if (it == cache_.end())
        return nullptr;
    it->lastUse = ++clock_;
    return it->overview;
}

std::shared_ptr<const AudioOverview>
WaveformBuilder::compute(const QString& path, const std::function<bool()>& keepGoing) {
    if (auto cached = overview(path))
        return cached;
    // Done here instead: the background pass would only duplicate it.
    cancel(path);
    try {
        auto result =
            std::make_shared<const AudioOverview>(PeakScanner::Scan(path, nullptr, keepGoing));
        store(path, result);
        return result;
    } catch (const PeakScanner::Cancelled&) {
        return nullptr;
    }
}

void WaveformBuilder::finished(const std::shared_ptr<Job>& job,
                               std::shared_ptr<const AudioOverview> result, const QString& error) {
    if (job->cancelled || jobs_.value(job->path) != job)
        return;
    jobs_.remove(job->path);
    if (!result) {
        failures_.insert(job->path, error);
        emit failed(job->path, error);
        return;
    }
    store(job->path, std::move(result));
    emit ready(job->path);
}

void WaveformBuilder::store(const QString& path, std::shared_ptr<const AudioOverview> overview) {
    if (const auto old = cache_.find(path); old != cache_.end()) {
        used_ -= old->overview->bytes();
        cache_.erase(old);
    }
    used_ += overview->bytes();
    cache_.insert(path, Entry{std::move(overview), ++clock_});
    // The least recently used go first; the newest always stays.
    while (used_ > limit_ && cache_.size() > 1) {
        auto oldest = cache_.end();
        for (auto it = cache_.begin(); it != cache_.end(); ++it)
            if (it.key() != path && (oldest == cache_.end() || it->lastUse < oldest->lastUse))
                oldest = it;
        used_ -= oldest->overview->bytes();
        cache_.erase(oldest);
    }
}
