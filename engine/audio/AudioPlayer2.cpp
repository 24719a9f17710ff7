#include "engine/audio/AudioPlayer2.h"

#include "engine/audio/SdlAudioOutput.h"
#include "engine/audio/SilentAudioOutput.h"
#include "platform/Error.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr int kTimerMs = 100;
constexpr std::size_t kPeakFrames = 1024;
constexpr int kLowWaterSeconds = 2;
} // namespace

AudioPlayer2::AudioPlayer2(QObject* parent) : QObject(parent) {
    timer_.setInterval(kTimerMs);
    connect(&timer_, &QTimer::timeout, this, &AudioPlayer2::tick);
}

AudioPlayer2::~AudioPlayer2() = default;

void AudioPlayer2::OpenPlayer(int sampleRate, int channels) {
    if (sampleRate < 1000 || sampleRate > 384000 || channels < 1 || channels > 8)
        throw Error(QStringLiteral("Cannot play %1 Hz audio with %2 channels")
                        .arg(sampleRate)
                        .arg(channels));
    timer_.stop();
    playing_ = false;
    if (!output_ || sampleRate != rate_ || channels != channels_) {
        output_.reset();
        rate_ = sampleRate;
        channels_ = channels;
        ensureOutput();
    } else {
        output_->setPaused(true);
        output_->clear();
    }
    resetQueue();
}

void AudioPlayer2::ensureOutput() {
    if (output_)
        return;
    if (rate_ <= 0)
        throw Error(QStringLiteral("The player has not been opened"));
    try {
        output_ = std::make_unique<SdlAudioOutput>(rate_, channels_);
        silent_ = false;
    } catch (const Error&) {
        output_ = std::make_unique<SilentAudioOutput>(rate_, channels_);
        silent_ = true;
    }
}

void AudioPlayer2::resetQueue() {
    queued_ = 0;
    blocks_.clear();
    requested_ = false;
    sourceDry_ = false;
    endReported_ = false;
}

void AudioPlayer2::Play() {
    ensureOutput();
    if (playing_)
        return;
    playing_ = true;
    ticks_ = 0;
    output_->setPaused(false);
    timer_.start();
}

void AudioPlayer2::StopPlayer() {
    timer_.stop();
    playing_ = false;
    // The device is given back while nothing plays; Play or OpenPlayer
    // opens it again.
    output_.reset();
    resetQueue();
}

void AudioPlayer2::PlayArray(const SampleArray& samples) {
    ensureOutput();
    const auto channels = static_cast<std::size_t>(channels_);
    const std::size_t frames = samples.samples.size() / channels;
    if (frames == 0) {
        sourceDry_ = true;
        return;
    }
    output_->queue(samples.samples.data(), frames);
    Block block;
    block.start = queued_;
    block.end = queued_ + static_cast<long long>(frames);
    block.peaks.reserve(frames / kPeakFrames + 1);
    for (std::size_t f = 0; f < frames; f += kPeakFrames) {
        float peak = 0;
        const std::size_t last = std::min(frames, f + kPeakFrames);
        for (std::size_t i = f; i < last; ++i)
            peak = std::max(peak, std::fabs(samples.samples[i * channels]));
        block.peaks.push_back(static_cast<short>(std::lround(std::min(peak, 1.0f) * 32767)));
    }
    blocks_.push_back(std::move(block));
    queued_ += static_cast<long long>(frames);
    requested_ = false;
    sourceDry_ = false;
    endReported_ = false;
}

void AudioPlayer2::Flush() {
    if (output_)
        output_->clear();
    resetQueue();
}

long long AudioPlayer2::PlayedFrames() {
    if (!output_)
        return 0;
    return std::max(0LL, queued_ - output_->pendingFrames());
}

int AudioPlayer2::levelAt(long long frame) const {
    for (const Block& block : blocks_) {
        if (frame >= block.start && frame < block.end) {
            const auto index = static_cast<std::size_t>(frame - block.start) / kPeakFrames;
            return index < block.peaks.size() ? block.peaks[index] : 0;
        }
    }
    return 0;
}

void AudioPlayer2::tick() {
    // Handlers may stop, flush or feed the player; every step re-checks.
    if (!playing_ || !output_)
        return;
    ++ticks_;
    long long played = PlayedFrames();
    played = std::max(played, 0LL);
    emit OnTimer(played, levelAt(played), played);
    if (!playing_)
        return;

    while (!blocks_.empty() && blocks_.front().end <= PlayedFrames()) {
        blocks_.pop_front();
        emit OnEndArrayPlay();
        if (!playing_)
            return;
    }

    long long pending = queued_ - PlayedFrames();
    if (pending < static_cast<long long>(rate_) * kLowWaterSeconds && !requested_ && !sourceDry_) {
        requested_ = true;
        requestTick_ = ticks_;
        emit OnRequestOnLoadArray();
        if (!playing_)
            return;
        pending = queued_ - PlayedFrames();
    }

    // Ended: nothing left, and the source said so or let a request pass.
    const bool sourceDone = sourceDry_ || (requested_ && ticks_ > requestTick_);
    if (pending <= 0 && sourceDone && !endReported_) {
        endReported_ = true;
        emit OnEndPlay();
    }
}
