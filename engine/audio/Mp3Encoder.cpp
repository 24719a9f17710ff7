#include "engine/audio/Mp3Encoder.h"

#include "platform/Error.h"

#include <lame/lame.h>

#include <algorithm>
#include <cstdarg>

namespace {

// LAME reports to stderr by default; a desktop program has no console.
void silent(const char*, va_list) {}

lame_t quietLame() {
    lame_t lame = lame_init();
    if (lame) {
        lame_set_errorf(lame, silent);
        lame_set_debugf(lame, silent);
        lame_set_msgf(lame, silent);
    }
    return lame;
}

// Frames handed to LAME per call, which bounds the output buffer.
constexpr std::size_t kBlockFrames = 8192;

} // namespace

void Mp3Encoder::LameCloser::operator()(lame_global_struct* lame) const {
    lame_close(lame);
}

bool Mp3Encoder::accepts(int sampleRate, int kbps, int channels) {
    if (sampleRate <= 0 || kbps <= 0 || channels < 1 || channels > 2)
        return false;
    std::unique_ptr<lame_global_struct, LameCloser> lame(quietLame());
    if (!lame)
        return false;
    lame_set_in_samplerate(lame.get(), sampleRate);
    lame_set_out_samplerate(lame.get(), sampleRate);
    lame_set_num_channels(lame.get(), channels);
    lame_set_mode(lame.get(), channels == 1 ? MONO : JOINT_STEREO);
    lame_set_VBR(lame.get(), vbr_off);
    lame_set_brate(lame.get(), kbps);
    if (lame_init_params(lame.get()) < 0)
        return false;
    return lame_get_brate(lame.get()) == kbps && lame_get_out_samplerate(lame.get()) == sampleRate;
}

Mp3Encoder::Mp3Encoder(const QString& path, int sourceRate, int sourceChannels,
                       const LameSettings& settings)
    : rate_(sourceRate), channels_(settings.outputChannels(sourceChannels)) {
    lame_.reset(quietLame());
    if (!lame_)
        throw Error(QStringLiteral("Cannot create %1: the MP3 encoder could not start").arg(path));
    lame_set_in_samplerate(lame_.get(), sourceRate);
    settings.applyTo(lame_.get(), channels_);
    if (lame_init_params(lame_.get()) < 0)
        throw Error(QStringLiteral("Cannot create %1: the MP3 encoder refuses these settings "
                                   "(%2 Hz source, %3 channels)")
                        .arg(path)
                        .arg(sourceRate)
                        .arg(channels_));
    file_.emplace(path);
}

Mp3Encoder::~Mp3Encoder() = default;

void Mp3Encoder::write(const float* interleaved, std::size_t frames) {
    if (!file_)
        return;
    const auto channels = static_cast<std::size_t>(channels_);
    for (std::size_t done = 0; done < frames;) {
        const std::size_t n = std::min(kBlockFrames, frames - done);
        left_.resize(n);
        right_.resize(n);
        const float* in = interleaved + done * channels;
        for (std::size_t f = 0; f < n; ++f) {
            left_[f] = in[f * channels];
            right_[f] = in[f * channels + channels - 1];
        }
        // Worst case from lame.h: 1.25 * samples + 7200 bytes.
        mp3_.resize(n + n / 4 + 7200);
        const int bytes = lame_encode_buffer_ieee_float(lame_.get(), left_.data(), right_.data(),
                                                        static_cast<int>(n), mp3_.data(),
                                                        static_cast<int>(mp3_.size()));
        if (bytes < 0)
            throw Error(QStringLiteral("Cannot write %1: MP3 encoding failed (%2)")
                            .arg(file_->path())
                            .arg(bytes));
        file_->write(mp3_.data(), static_cast<std::size_t>(bytes));
        done += n;
    }
}

void Mp3Encoder::finish() {
    if (!file_)
        return;
    mp3_.resize(16384 + 7200);
    const int bytes = lame_encode_flush(lame_.get(), mp3_.data(), static_cast<int>(mp3_.size()));
    if (bytes < 0)
        throw Error(QStringLiteral("Cannot complete %1: MP3 encoding failed (%2)")
                        .arg(file_->path())
                        .arg(bytes));
    file_->write(mp3_.data(), static_cast<std::size_t>(bytes));
    if (lame_get_bWriteVbrTag(lame_.get())) {
        // LAME left room for this frame as the first one of the stream.
        std::vector<unsigned char> tag(8192);
        const std::size_t size = lame_get_lametag_frame(lame_.get(), tag.data(), tag.size());
        if (size > 0 && size <= tag.size())
            file_->rewriteStart(tag.data(), size);
    }
    OutputFile file = std::move(*file_);
    file_.reset();
    file.close();
}
