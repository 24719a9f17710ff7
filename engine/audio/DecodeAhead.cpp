#include "engine/audio/DecodeAhead.h"

#include <utility>

DecodeAhead::DecodeAhead(Decode decode, std::size_t limit)
    : decode_(std::move(decode)), limit_(limit), thread_([this] { run(); }) {}

DecodeAhead::~DecodeAhead() {
    stop();
}

void DecodeAhead::run() {
    for (;;) {
        {
            std::unique_lock lock(mutex_);
            // Once full, rest until half is taken: decoding then goes on in
            // bursts, not one wake-up for every step.
            if (waiting_ >= limit_) {
                producerWaiting_ = true;
                room_.wait(lock, [this] { return stopping_ || waiting_ <= limit_ / 2; });
                producerWaiting_ = false;
            }
            if (stopping_)
                return;
        }
        Step step;
        try {
            decode_(step);
        } catch (...) {
            step.error = std::current_exception();
            step.last = true;
        }
        const bool last = step.last;
        bool wake = false;
        {
            const std::lock_guard lock(mutex_);
            waiting_ += step.samples.size();
            steps_.push_back(std::move(step));
            finished_ = last;
            wake = consumerWaiting_;
        }
        if (wake)
            ready_.notify_one();
        if (last)
            return;
    }
}

DecodeAhead::Step DecodeAhead::take() {
    std::unique_lock lock(mutex_);
    consumerWaiting_ = true;
    ready_.wait(lock, [this] { return !steps_.empty() || finished_ || stopping_; });
    consumerWaiting_ = false;
    if (steps_.empty()) {
        Step end;
        end.last = true;
        return end;
    }
    Step step = std::move(steps_.front());
    steps_.pop_front();
    waiting_ -= step.samples.size();
    const bool wake = producerWaiting_ && waiting_ <= limit_ / 2;
    lock.unlock();
    if (wake)
        room_.notify_one();
    return step;
}

std::size_t DecodeAhead::stepsWaiting() const {
    const std::lock_guard lock(mutex_);
    return steps_.size();
}

std::deque<DecodeAhead::Step> DecodeAhead::stop() {
    {
        const std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    room_.notify_all();
    ready_.notify_all();
    if (thread_.joinable())
        thread_.join();
    const std::lock_guard lock(mutex_);
    waiting_ = 0;
    return std::exchange(steps_, {});
}
