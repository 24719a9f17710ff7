#include "engine/audio/SilentAudioOutput.h"

#include <algorithm>

SilentAudioOutput::SilentAudioOutput(int rate, int) : rate_(rate) {
    clock_.start();
}

void SilentAudioOutput::advance() {
    const long long elapsed = clock_.nsecsElapsed();
    clock_.restart();
    if (paused_ || pending_ == 0) {
        // Nothing plays while paused or starved; time then is not owed.
        carryNs_ = 0;
        return;
    }
    const long long ns = elapsed + carryNs_;
    const long long frames = ns * rate_ / 1000000000LL;
    carryNs_ = ns - frames * 1000000000LL / rate_;
    pending_ = std::max(0LL, pending_ - frames);
}

void SilentAudioOutput::queue(const float*, std::size_t frames) {
    advance();
    pending_ += static_cast<long long>(frames);
}

void SilentAudioOutput::clear() {
    advance();
    pending_ = 0;
}

void SilentAudioOutput::setPaused(bool paused) {
    advance();
    paused_ = paused;
}

long long SilentAudioOutput::pendingFrames() {
    advance();
    return pending_;
}
