#pragma once

#include "engine/audio/FileStamp.h"

#include <cstddef>
#include <deque>
#include <memory>
#include <mutex>

// What was learnt from reading the files opened last, each kept under the
// stamp its file had before it was read: a run opens its source to measure
// it, again in every worker and once more to copy from it, and reading a
// long file each time cost more than a peer's single read. A file changed
// since has another stamp and is read anew.
template <typename T, std::size_t Count = 2> class KeptByStamp {
public:
    // What was kept for `stamp`; none for a file that cannot be looked at.
    std::shared_ptr<const T> find(const FileStamp& stamp) {
        if (stamp.size < 0)
            return nullptr;
        const std::lock_guard lock(mutex_);
        for (const Entry& entry : entries_)
            if (entry.stamp == stamp)
                return entry.value;
        return nullptr;
    }

    // Keeps `value` for `stamp`, in place of what its file had before.
    void keep(const FileStamp& stamp, std::shared_ptr<const T> value) {
        if (stamp.size < 0)
            return;
        const std::lock_guard lock(mutex_);
        std::erase_if(entries_, [&](const Entry& entry) { return entry.stamp.path == stamp.path; });
        entries_.push_front({stamp, std::move(value)});
        if (entries_.size() > Count)
            entries_.pop_back();
    }

private:
    struct Entry {
        FileStamp stamp;
        std::shared_ptr<const T> value;
    };
    std::mutex mutex_;
    std::deque<Entry> entries_;
};
