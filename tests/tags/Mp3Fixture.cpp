#include "tests/tags/Mp3Fixture.h"

#include "tests/tags/OggPageReader.h"

#include <lame/lame.h>

#include <cmath>
#include <memory>
#include <numbers>
#include <stdexcept>
#include <vector>

void writeMp3(const QString& path, double seconds, int rate) {
    std::unique_ptr<lame_global_flags, decltype(&lame_close)> lame(lame_init(), lame_close);
    lame_set_in_samplerate(lame.get(), rate);
    lame_set_num_channels(lame.get(), 1);
    lame_set_mode(lame.get(), MONO);
    lame_set_brate(lame.get(), 96);
    lame_set_bWriteVbrTag(lame.get(), 0);
    if (lame_init_params(lame.get()) < 0)
        throw std::runtime_error("LAME refused the settings");

    const auto frames = static_cast<int>(std::lround(seconds * rate));
    std::vector<float> pcm(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i)
        pcm[static_cast<size_t>(i)] =
            0.5f * static_cast<float>(std::sin(2 * std::numbers::pi * 440.0 * i / rate));
    std::vector<unsigned char> mp3(static_cast<size_t>(frames) * 5 / 4 + 7200 + 7200);
    const int encoded = lame_encode_buffer_ieee_float(lame.get(), pcm.data(), pcm.data(), frames,
                                                      mp3.data(), static_cast<int>(mp3.size()));
    if (encoded < 0)
        throw std::runtime_error("LAME failed");
    const int flushed =
        lame_encode_flush(lame.get(), mp3.data() + encoded, static_cast<int>(mp3.size()) - encoded);
    if (flushed < 0)
        throw std::runtime_error("LAME failed to flush");
    writeBytes(path, QByteArray(reinterpret_cast<const char*>(mp3.data()), encoded + flushed));
}
