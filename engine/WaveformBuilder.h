#pragma once

#include "engine/audio/AudioOverview.h"

#include <QHash>
#include <QObject>
#include <QString>
#include <QThreadPool>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

// Computes the overview (waveform peaks and loudness) of files in the
// background, one decoding pass per file, and keeps the results in a cache of
// bounded size. Everything but the workers runs on the thread that owns the
// builder; results arrive there through `ready` and `failed`.
//
// Calling off a file never waits: its worker notices within one block and its
// result is dropped.
class WaveformBuilder : public QObject {
    Q_OBJECT

public:
    // Room for a few hundred hour-long files.
    static constexpr std::size_t DefaultMemoryLimit = std::size_t{64} << 20;

    explicit WaveformBuilder(std::size_t memoryLimit = DefaultMemoryLimit,
                             QObject* parent = nullptr);
    // Calls off every worker and waits for each to notice (one block).
    ~WaveformBuilder() override;

    // Starts computing `path` unless it is cached or under way. `urgent`
    // puts it before the files waiting (the file the user looks at).
    void request(const QString& path, bool urgent = false);
    // Calls off `path`; its cached overview stays until memory is needed.
    void cancel(const QString& path);
    void cancelAll();
    // Calls off every file not in `paths`.
    void retain(const QStringList& paths);

    // The overview of `path`, or null while it is not ready.
    std::shared_ptr<const AudioOverview> overview(const QString& path);
    bool isPending(const QString& path) const { return jobs_.contains(path); }
    int pendingCount() const { return static_cast<int>(jobs_.size()); }
    // Why `path` could not be computed; empty when it could or is not done.
    QString failure(const QString& path) const { return failures_.value(path); }

    // The overview of `path` now, computed on this thread if need be;
    // `keepGoing` is called between blocks and ends the work when false
    // (the result is then null). Throws Error when the file cannot be read.
    std::shared_ptr<const AudioOverview> compute(const QString& path,
                                                 const std::function<bool()>& keepGoing = {});

    std::size_t memoryUsed() const { return used_; }
    std::size_t memoryLimit() const { return limit_; }

signals:
    void ready(const QString& path);
    void failed(const QString& path, const QString& reason);

private:
    struct Job;
    struct Entry {
        std::shared_ptr<const AudioOverview> overview;
        std::uint64_t lastUse = 0;
    };

    void finished(const std::shared_ptr<Job>& job, std::shared_ptr<const AudioOverview> result,
                  const QString& error);
    void store(const QString& path, std::shared_ptr<const AudioOverview> overview);

    std::size_t limit_;
    std::size_t used_ = 0;
    std::uint64_t clock_ = 0;
    QHash<QString, Entry> cache_;
    QHash<QString, std::shared_ptr<Job>> jobs_;
    QHash<QString, QString> failures_;
    QThreadPool pool_;
};
