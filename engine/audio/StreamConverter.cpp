#include "engine/audio/StreamConverter.h"

#include "engine/audio/ChannelMixer.h"
#include "platform/Error.h"

#include <soxr.h>

#include <cmath>

void StreamConverter::SoxrDeleter::operator()(soxr* s) const {
    soxr_delete(s);
}

StreamConverter::StreamConverter() = default;
StreamConverter::~StreamConverter() = default;

void StreamConverter::configure(int inRate, int inChannels, int outRate, int outChannels) {
    if (inRate <= 0 || outRate <= 0 || inChannels <= 0 || outChannels <= 0)
        throw Error(QStringLiteral("Unsupported sample format: %1 Hz, %2 channels to %3 Hz, "
                                   "%4 channels")
                        .arg(inRate)
                        .arg(inChannels)
                        .arg(outRate)
                        .arg(outChannels));
    inRate_ = inRate;
    inChannels_ = inChannels;
    outRate_ = outRate;
    outChannels_ = outChannels;
    soxr_.reset();
    if (inRate == outRate)
        return;
    soxr_error_t error = nullptr;
    const soxr_io_spec_t io = soxr_io_spec(SOXR_FLOAT32_I, SOXR_FLOAT32_I);
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    soxr_.reset(soxr_create(inRate, outRate, static_cast<unsigned>(outChannels), &error, &io,
                            &quality, nullptr));
    if (!soxr_ || error)
        throw Error(QStringLiteral("Cannot convert %1 Hz to %2 Hz: %3")
                        .arg(inRate)
                        .arg(outRate)
                        .arg(QString::fromUtf8(error ? error : "resampler unavailable")));
}

void StreamConverter::process(const float* in, std::size_t frames, std::vector<float>& out) {
    if (frames == 0)
        return;
    const float* source = in;
    if (inChannels_ != outChannels_) {
        mixed_.resize(frames * static_cast<std::size_t>(outChannels_));
        ChannelMixer::mix(in, frames, inChannels_, mixed_.data(), outChannels_);
        source = mixed_.data();
    }
    if (!soxr_) {
        out.insert(out.end(), source, source + frames * static_cast<std::size_t>(outChannels_));
        return;
    }
    resample(source, frames, out);
}

void StreamConverter::flush(std::vector<float>& out) {
    if (!soxr_)
        return;
    resample(nullptr, 0, out);
    soxr_clear(soxr_.get());
}

void StreamConverter::reset() {
    if (soxr_)
        soxr_clear(soxr_.get());
}

void StreamConverter::resample(const float* in, std::size_t frames, std::vector<float>& out) {
    const auto channels = static_cast<std::size_t>(outChannels_);
    const double ratio = static_cast<double>(outRate_) / inRate_;
    std::size_t consumed = 0;
    for (;;) {
        const std::size_t remaining = frames - consumed;
        const std::size_t room =
            static_cast<std::size_t>(std::ceil(static_cast<double>(remaining) * ratio)) + 1024;
        const std::size_t start = out.size();
        out.resize(start + room * channels);
        std::size_t inDone = 0;
        std::size_t outDone = 0;
        // A null input tells soxr the stream has ended: it releases its tail.
        const soxr_error_t error =
            soxr_process(soxr_.get(), in ? in + consumed * channels : nullptr, remaining,
                         in ? &inDone : nullptr, out.data() + start, room, &outDone);
        out.resize(start + outDone * channels);
        if (error)
            throw Error(
                QStringLiteral("Sample-rate conversion failed: %1").arg(QString::fromUtf8(error)));
        consumed += inDone;
        if (in ? consumed >= frames : outDone == 0)
            break;
        if (in && inDone == 0 && outDone == 0)
            break;
    }
}
