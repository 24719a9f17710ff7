#include "engine/audio/AudioWriter.h"

#include <algorithm>

namespace {
// Frames converted per step, which bounds the conversion buffers whatever
// the size of the blocks the caller writes.
constexpr std::size_t kStepFrames = 65536;
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
    encode(converted_.data(), converted_.size() / static_cast<std::size_t>(encoder_->channels()));
    converter_.configure(rate, channels, encoder_->rate(), encoder_->channels());
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
        encode(converted_.data(),
               converted_.size() / static_cast<std::size_t>(encoder_->channels()));
        done += n;
    }
    carry_ = std::move(rest);
}

void AudioWriter::encode(const float* interleaved, std::size_t frames) {
    if (frames > 0)
        encoder_->write(interleaved, frames);
}

void AudioWriter::finish() {
    converted_.clear();
    converter_.flush(converted_);
    encode(converted_.data(), converted_.size() / static_cast<std::size_t>(encoder_->channels()));
    carry_.clear();
    encoder_->finish();
}
