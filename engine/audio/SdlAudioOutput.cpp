#include "engine/audio/SdlAudioOutput.h"

#include "engine/audio/ChannelOrder.h"
#include "platform/Error.h"

#include <SDL.h>

#include <algorithm>

namespace {
// Largest piece handed to SDL at once: its sizes are 32-bit.
constexpr std::size_t kMaxQueueBytes = 64u << 20;
} // namespace

SdlAudioOutput::SdlAudioOutput(int rate, int channels)
    : frameBytes_(sizeof(float) * static_cast<std::size_t>(channels)) {
    const std::vector<int> map =
        ChannelOrder::Map(ChannelOrder::Vorbis(channels), ChannelOrder::Sdl(channels));
    if (!ChannelOrder::IsIdentity(map))
        speakerMap_ = map;
    // The program handles its own signals; SDL must not take them over.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0)
        throw Error(QStringLiteral("No audio output: %1").arg(QString::fromUtf8(SDL_GetError())));
    SDL_AudioSpec want{};
    want.freq = rate;
    want.format = AUDIO_F32SYS;
    want.channels = static_cast<Uint8>(channels);
    want.samples = 2048;
    SDL_AudioSpec have{};
    device_ = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device_ == 0) {
        const QString reason = QString::fromUtf8(SDL_GetError());
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        throw Error(QStringLiteral("No audio output: %1").arg(reason));
    }
}

SdlAudioOutput::~SdlAudioOutput() {
    SDL_CloseAudioDevice(device_);
    SDL_QuitSubSystem(SDL_INIT_AUDIO);
}

void SdlAudioOutput::queue(const float* interleaved, std::size_t frames) {
    if (!speakerMap_.empty()) {
        reordered_.resize(frames * speakerMap_.size());
        ChannelOrder::Apply(speakerMap_, interleaved, frames, reordered_.data());
        interleaved = reordered_.data();
    }
    const auto* bytes = reinterpret_cast<const unsigned char*>(interleaved);
    std::size_t left = frames * frameBytes_;
    const std::size_t piece = kMaxQueueBytes - kMaxQueueBytes % frameBytes_;
    while (left > 0) {
        const std::size_t n = std::min(left, piece);
        if (SDL_QueueAudio(device_, bytes, static_cast<Uint32>(n)) != 0)
            throw Error(
                QStringLiteral("Cannot play the audio: %1").arg(QString::fromUtf8(SDL_GetError())));
        bytes += n;
        left -= n;
    }
}

void SdlAudioOutput::clear() {
    SDL_ClearQueuedAudio(device_);
}

void SdlAudioOutput::setPaused(bool paused) {
    SDL_PauseAudioDevice(device_, paused ? 1 : 0);
}

long long SdlAudioOutput::pendingFrames() {
    return static_cast<long long>(SDL_GetQueuedAudioSize(device_) / frameBytes_);
}
