#include "engine/audio/AudioReader.h"

#include "platform/Error.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {
// Frames decoded per step: small enough to keep memory flat, large enough to
// keep the per-call overhead negligible.
constexpr int kDecodeFrames = 4096;
} // namespace

AudioReader::AudioReader(const QString& path)
    : path_(path), decoder_(AudioDecoder::Open(path)), outRate_(decoder_->rate()),
      outChannels_(decoder_->channels()) {}

AudioReader::~AudioReader() {
    stopReadAhead(false);
}

void AudioReader::setOutputFormat(int rate, int channels) {
    if (rate <= 0 || channels <= 0 || channels > 8 || rate > 768000)
        throw Error(QStringLiteral("Cannot read %1 as %2 Hz, %3 channels: unsupported format")
                        .arg(path_)
                        .arg(rate)
                        .arg(channels));
    if (rate == outRate_ && channels == outChannels_)
        return;
    stopReadAhead(false);
    outRate_ = rate;
    outChannels_ = channels;
    restartConversion();
}

void AudioReader::restartConversion() {
    // The decoder may have run ahead of what the caller took, converted to
    // the old format: rewind it to the caller's position so no frame is lost
    // or repeated.
    if (converterReady_ || !pending_.empty() || ended_)
        decoder_->seek(position_);
    dropConversion();
}

void AudioReader::dropConversion() {
    converterReady_ = false;
    pending_.clear();
    pendingStart_ = 0;
    ended_ = false;
    owed_ = 0;
    given_ = 0;
}

void AudioReader::seek(long long frame) {
    const long long target = std::clamp<long long>(frame, 0, decoder_->totalFrames());
    // Already there: what was decoded ahead is what comes next.
    if (target == position_)
        return;
    if (target > position_ && decoder_->seeksByDecoding()) {
        // Read on to the frame, through what was decoded ahead, as a
        // straight decode would.
        SampleArray dropped;
        while (position_ < target) {
            const long long before = position_;
            read(static_cast<int>(std::min<long long>(target - position_, 1 << 16)), dropped);
            if (dropped.samples.empty() || position_ == before)
                break;
        }
        return;
    }
    stopReadAhead(false);
    position_ = target;
    decoder_->seek(position_);
    dropConversion();
}

void AudioReader::setReadAhead(bool on) {
    readAhead_ = on;
    if (!on)
        stopReadAhead(true);
}

std::size_t AudioReader::stepsAhead() const {
    return aheadLeft_.size() + (ahead_ ? ahead_->stepsWaiting() : 0);
}

void AudioReader::stopReadAhead(bool keepSteps) {
    std::deque<DecodeAhead::Step> left;
    if (ahead_) {
        left = ahead_->stop();
        ahead_.reset();
    }
    // Switched off midway, the steps made ahead are still to be delivered;
    // before a seek or a new format they are of no use, also those left
    // from an earlier switch that no thread holds any more.
    if (keepSteps)
        std::move(left.begin(), left.end(), std::back_inserter(aheadLeft_));
    else
        aheadLeft_.clear();
}

bool AudioReader::decodeMore() {
    if (ended_)
        return false;
    if (readAhead_ && !ahead_ && aheadLeft_.empty()) {
        // About four seconds of audio, more than a run's block, so the caller
        // need not wait for decoding; never more than 8 MB.
        const auto limit = std::min<std::size_t>(4 * static_cast<std::size_t>(outRate_) *
                                                     static_cast<std::size_t>(outChannels_),
                                                 std::size_t{2} << 20);
        ahead_ = std::make_unique<DecodeAhead>(
            [this](DecodeAhead::Step& step) { step.last = !decodeStep(step.samples, step.rate); },
            limit);
    }
    bool more = true;
    if (ahead_ || !aheadLeft_.empty()) {
        DecodeAhead::Step step;
        if (!aheadLeft_.empty()) {
            step = std::move(aheadLeft_.front());
            aheadLeft_.pop_front();
        } else {
            step = ahead_->take();
        }
        pending_.insert(pending_.end(), step.samples.begin(), step.samples.end());
        if (step.error) {
            // Decoding goes on here, as it would have without the thread.
            stopReadAhead(false);
            std::rethrow_exception(step.error);
        }
        more = !step.last;
        if (!more)
            stopReadAhead(false);
    } else {
        int rate = 0;
        more = decodeStep(pending_, rate);
    }
    if (!more) {
        ended_ = true;
        return false;
    }
    return true;
}

bool AudioReader::decodeStep(std::vector<float>& out, int& rate) {
    const AudioDecoder::Chunk chunk = decoder_->read(kDecodeFrames);
    if (chunk.frames == 0) {
        if (converterReady_)
            converter_.flush(out);
        return false;
    }
    if (!converterReady_ || chunk.rate != converter_.inRate() ||
        chunk.channels != converter_.inChannels()) {
        // A new link of a chained file may change the format: finish the old
        // conversion, then carry on in the first link's (or asked) format.
        if (converterReady_)
            converter_.flush(out);
        converter_.configure(chunk.rate, chunk.channels, outRate_, outChannels_);
        converterReady_ = true;
    }
    rate = chunk.rate;
    const auto frames = static_cast<std::size_t>(chunk.frames);
    const auto channels = static_cast<std::size_t>(chunk.channels);
    // Audio that needs no conversion is interleaved straight into `out`,
    // saving a copy of every sample.
    const bool direct = converter_.passesThrough();
    std::vector<float>& target = direct ? out : interleaved_;
    const std::size_t start = direct ? out.size() : 0;
    target.resize(start + frames * channels);
    float* interleaved = target.data() + start;
    for (std::size_t f = 0; f < frames; ++f)
        for (std::size_t c = 0; c < channels; ++c)
            interleaved[f * channels + c] = chunk.planes[c][f];
    if (!direct)
        converter_.process(interleaved_.data(), frames, out);
    return true;
}

SampleArray AudioReader::read(int count) {
    SampleArray result;
    read(count, result);
    return result;
}

void AudioReader::read(int count, SampleArray& block) {
    block.channels = outChannels_;
    block.samples.clear();
    if (count <= 0)
        return;
    const auto channels = static_cast<std::size_t>(outChannels_);
    // Positions count every link in the first link's rate.
    owed_ += static_cast<double>(count) * outRate_ / decoder_->rate();
    const long long wanted = std::max<long long>(0, std::llround(owed_) - given_);
    const auto wantedSamples = static_cast<std::size_t>(wanted) * channels;
    // Room for the block and the decode step that completes it, so the
    // buffer reaches its size at once and keeps it from block to block
    // instead of growing from empty through a string of reallocations.
    pending_.reserve(pendingStart_ + wantedSamples +
                     2 * static_cast<std::size_t>(kDecodeFrames) * channels);
    while (pending_.size() - pendingStart_ < wantedSamples && decodeMore()) {
    }
    const std::size_t available = pending_.size() - pendingStart_;
    const std::size_t take = std::min(wantedSamples, available - available % channels);
    position_ = std::min(position_ + count, decoder_->totalFrames());
    given_ += static_cast<long long>(take / channels);
    const auto first = pending_.begin() + static_cast<std::ptrdiff_t>(pendingStart_);
    block.samples.assign(first, first + static_cast<std::ptrdiff_t>(take));
    pendingStart_ += take;
    if (pendingStart_ == pending_.size()) {
        pending_.clear();
        pendingStart_ = 0;
    } else if (pendingStart_ > pending_.size() / 2) {
        // What was decoded beyond the block is short: move it to the front.
        pending_.erase(pending_.begin(),
                       pending_.begin() + static_cast<std::ptrdiff_t>(pendingStart_));
        pendingStart_ = 0;
    }
}
