#include "engine/audio/AudioWriter.h"

#include <algorithm>
#include <cmath>

namespace {
// Frames converted per step, which bounds the conversion buffers whatever
// the size of the blocks the caller writes.
constexpr std::size_t kStepFrames = 65536;

bool clean(float sample) {
    // False for a NaN too.
    return sample >= -1.0f && sample <= 1.0f;
}

// Lossy decoders overshoot full scale a little; a sample that is not a
// number, infinite or beyond twice full scale is a fault of the source.
bool faulty(float sample) {
    return !(std::fabs(sample) <= 2.0f);
}

float mended(float sample) {
    if (std::isnan(sample))
        return 0.0f;
    return std::clamp(sample, -1.0f, 1.0f);
}

// Clips the samples in place; how many of them were faulty.
std::int64_t mend(float* samples, std::size_t count) {
    std::int64_t faults = 0;
    for (std::size_t i = 0; i < count; ++i) {
        if (!clean(samples[i])) {
            faults += faulty(samples[i]) ? 1 : 0;
            samples[i] = mended(samples[i]);
        }
    }
    return faults;
}
} // namespace

AudioWriter::AudioWriter(const QString& path, std::unique_ptr<AudioEncoder> encoder, int inputRate,
                         int inputChannels)
    : path_(path), encoder_(std::move(encoder)) {
    converter_.configure(inputRate, inputChannels, encoder_->rate(), encoder_->channels());
}

void AudioWriter::setInputFormat(int rate, int channels) {
    if (rate == converter_.inRate() && channels == converter_.inChannels())
        return;
    converted_.clear();
    converter_.flush(converted_);
    carry_.clear();
    encodeConverted();
    converter_.configure(rate, channels, encoder_->rate(), encoder_->channels());
}

void AudioWriter::expectFrames(std::int64_t frames) {
    // A resampled count is known only roughly.
    if (converter_.passesThrough())
        encoder_->expectFrames(frames);
}

void AudioWriter::write(const SampleArray& samples) {
    const auto channels = static_cast<std::size_t>(converter_.inChannels());
    const std::vector<float>* source = &samples.samples;
    std::vector<float> joined;
    if (!carry_.empty()) {
        joined.reserve(carry_.size() + samples.samples.size());
        joined = carry_;
        joined.insert(joined.end(), samples.samples.begin(), samples.samples.end());
        source = &joined;
    }
    // Mended before the resampler too, which would spread a NaN over its
    // neighbours. A clean block, the usual case, is not copied.
    if (!std::all_of(source->begin(), source->end(), clean)) {
        if (source != &joined)
            clean_.assign(source->begin(), source->end());
        std::vector<float>& own = source == &joined ? joined : clean_;
        faults_ += mend(own.data(), own.size());
        source = &own;
    }
    const std::size_t frames = source->size() / channels;
    // A block that ends inside a frame keeps the rest for the next one, so
    // channels never slip.
    std::vector<float> rest(source->begin() + static_cast<std::ptrdiff_t>(frames * channels),
                            source->end());
    for (std::size_t done = 0; done < frames;) {
        const std::size_t n = std::min(kStepFrames, frames - done);
        if (converter_.passesThrough()) {
            // Already in the encoder's format: no copy.
            encode(source->data() + done * channels, n);
            done += n;
            continue;
        }
        converted_.clear();
        converter_.process(source->data() + done * channels, n, converted_);
        encodeConverted();
        done += n;
    }
    carry_ = std::move(rest);
}

void AudioWriter::encode(const float* interleaved, std::size_t frames) {
    if (frames > 0)
        encoder_->write(interleaved, frames);
}

void AudioWriter::encodeConverted() {
    // The resampler may overshoot full scale a little near clipped input.
    for (float& sample : converted_)
        sample = mended(sample);
    encode(converted_.data(), converted_.size() / static_cast<std::size_t>(encoder_->channels()));
}

void AudioWriter::finish() {
    converted_.clear();
    converter_.flush(converted_);
    encodeConverted();
    carry_.clear();
    encoder_->finish();
}
