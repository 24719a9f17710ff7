#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <exception>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

// Runs the steps of a decoder on a thread of its own, ahead of the caller
// that takes them, so decoding and the caller's own work (encoding) share two
// cores. At most `limit` samples wait; the steps come out exactly as the
// decoder made them, in order. Stopping waits for the step in progress.
class DecodeAhead {
public:
    struct Step {
        std::vector<float> samples;
        int rate = 0;
        bool last = false;        // nothing follows
        std::exception_ptr error; // the step failed with this (and is the last)
    };
    // Fills one step; sets `last` when the decoder has nothing more.
    using Decode = std::function<void(Step&)>;

    DecodeAhead(Decode decode, std::size_t limit);
    ~DecodeAhead();
    DecodeAhead(const DecodeAhead&) = delete;
    DecodeAhead& operator=(const DecodeAhead&) = delete;

    // The next step, waiting for it. After the last one: an empty last step.
    Step take();
    // Stops the thread and hands back the steps made but not taken.
    std::deque<Step> stop();
    // Steps made and not yet taken.
    std::size_t stepsWaiting() const;

private:
    void run();

    Decode decode_;
    std::size_t limit_;
    mutable std::mutex mutex_;
    std::condition_variable ready_;
    std::condition_variable room_;
    std::deque<Step> steps_;
    std::size_t waiting_ = 0; // samples in steps_
    bool stopping_ = false;
    bool producerWaiting_ = false; // for room
    bool consumerWaiting_ = false; // for a step
    bool finished_ = false;        // the last step is made
    std::thread thread_;           // started last, once the rest is set up
};
