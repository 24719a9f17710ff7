#pragma once

#include <atomic>

// Whether the run under way is to stop. Stop is set from the front end's
// thread (the Stop command, closing the window) or from a signal handler, and
// read by the run on its own thread at every checkpoint; a plain atomic flag,
// so both are safe anywhere.
class RunControl {
public:
    // A new run starts without a stop pending.
    void Reset() noexcept { stopped_.store(false); }
    // Async-signal-safe: one lock-free store.
    void Stop() noexcept { stopped_.store(true); }
    bool stopped() const noexcept { return stopped_.load(); }
    // For a handler that can only be given a flag.
    std::atomic<bool>& flag() noexcept { return stopped_; }

private:
    std::atomic<bool> stopped_{false};
    static_assert(std::atomic<bool>::is_always_lock_free);
};
