#include "engine/audio/OggEncoder.h"

#include "platform/Error.h"

#include <QRandomGenerator>

#include <vorbis/vorbisenc.h>

#include <algorithm>

namespace {

long bitsPerSecond(int kbps) {
    return kbps > 0 ? static_cast<long>(kbps) * 1000 : -1;
}

// Sets up `info` for the format; returns vorbisenc's result (0 on success).
int setUp(vorbis_info& info, const OggEncoder::Format& f) {
    if (f.rate <= 0 || f.channels <= 0 || f.channels > 255)
        return OV_EINVAL;
    if (f.quality >= 0)
        return vorbis_encode_init_vbr(&info, f.channels, f.rate,
                                      static_cast<float>(std::min(f.quality, 1000)) / 1000.0f);
    if (f.kbps <= 0 && f.minKbps <= 0 && f.maxKbps <= 0)
        return OV_EINVAL;
    if (f.minKbps > 0 && f.maxKbps > 0 && f.minKbps > f.maxKbps)
        return OV_EINVAL;
    if (f.minKbps > 0 || f.maxKbps > 0)
        return vorbis_encode_init(&info, f.channels, f.rate, bitsPerSecond(f.maxKbps),
                                  bitsPerSecond(f.kbps), bitsPerSecond(f.minKbps));
    // A nominal bitrate alone sets no bound to keep: the mode vorbisenc picks
    // for it reaches that average on its own. Bitrate management would only
    // encode every block in several variants to steer the average, at many
    // times the cost.
    const int setUp =
        vorbis_encode_setup_managed(&info, f.channels, f.rate, -1, bitsPerSecond(f.kbps), -1);
    if (setUp != 0)
        return setUp;
    const int unmanaged = vorbis_encode_ctl(&info, OV_ECTL_RATEMANAGE2_SET, nullptr);
    if (unmanaged != 0)
        return unmanaged;
    return vorbis_encode_setup_init(&info);
}

constexpr std::size_t kBlockFrames = 4096;

} // namespace

// libvorbis and libogg keep their state in plain structs with init/clear
// pairs; this owns them together and clears only what was initialised.
struct OggEncoder::State {
    vorbis_info info{};
    vorbis_comment comment{};
    vorbis_dsp_state dsp{};
    vorbis_block block{};
    ogg_stream_state stream{};
    bool infoReady = false;
    bool commentReady = false;
    bool dspReady = false;
    bool blockReady = false;
    bool streamReady = false;

    ~State() {
        if (streamReady)
            ogg_stream_clear(&stream);
        if (blockReady)
            vorbis_block_clear(&block);
        if (dspReady)
            vorbis_dsp_clear(&dsp);
        if (commentReady)
            vorbis_comment_clear(&comment);
        if (infoReady)
            vorbis_info_clear(&info);
    }
};

bool OggEncoder::accepts(int rate, int channels, int kbps, int minKbps, int maxKbps) {
    State state;
    vorbis_info_init(&state.info);
    state.infoReady = true;
    Format format{rate, channels, kbps, minKbps, maxKbps, -1};
    return setUp(state.info, format) == 0;
}

OggEncoder::OggEncoder(const QString& path, const Format& format)
    : format_(format), state_(std::make_unique<State>()) {
    State& s = *state_;
    vorbis_info_init(&s.info);
    s.infoReady = true;
    if (setUp(s.info, format) != 0) {
        const QString how = format.quality >= 0
                                ? QStringLiteral("quality %1").arg(format.quality / 1000.0)
                                : QStringLiteral("%1 kbps (minimum %2, maximum %3)")
                                      .arg(format.kbps)
                                      .arg(format.minKbps)
                                      .arg(format.maxKbps);
        throw Error(QStringLiteral("Cannot create %1: the Ogg Vorbis encoder cannot encode "
                                   "%2 Hz, %3 channels at %4")
                        .arg(path)
                        .arg(format.rate)
                        .arg(format.channels)
                        .arg(how));
    }
    vorbis_comment_init(&s.comment);
    s.commentReady = true;
    if (vorbis_analysis_init(&s.dsp, &s.info) != 0)
        throw Error(
            QStringLiteral("Cannot create %1: the Ogg Vorbis encoder could not start").arg(path));
    s.dspReady = true;
    vorbis_block_init(&s.dsp, &s.block);
    s.blockReady = true;
    // A fresh serial per file keeps streams distinct when files are chained.
    ogg_stream_init(&s.stream,
                    static_cast<int>(QRandomGenerator::global()->generate() & 0x7fffffff));
    s.streamReady = true;

    file_.emplace(path);
    ogg_packet header;
    ogg_packet comments;
    ogg_packet codebooks;
    vorbis_analysis_headerout(&s.dsp, &s.comment, &header, &comments, &codebooks);
    ogg_stream_packetin(&s.stream, &header);
    ogg_stream_packetin(&s.stream, &comments);
    ogg_stream_packetin(&s.stream, &codebooks);
    // The audio starts on a page of its own, as players expect.
    ogg_page page;
    while (ogg_stream_flush(&s.stream, &page) != 0) {
        file_->write(page.header, static_cast<std::size_t>(page.header_len));
        file_->write(page.body, static_cast<std::size_t>(page.body_len));
    }
}

OggEncoder::~OggEncoder() = default;

void OggEncoder::write(const float* interleaved, std::size_t frames) {
    if (!file_)
        return;
    State& s = *state_;
    const auto channels = static_cast<std::size_t>(format_.channels);
    for (std::size_t done = 0; done < frames;) {
        const std::size_t n = std::min(kBlockFrames, frames - done);
        float** buffer = vorbis_analysis_buffer(&s.dsp, static_cast<int>(n));
        const float* in = interleaved + done * channels;
        for (std::size_t c = 0; c < channels; ++c)
            for (std::size_t f = 0; f < n; ++f)
                buffer[c][f] = in[f * channels + c];
        vorbis_analysis_wrote(&s.dsp, static_cast<int>(n));
        drain(false);
        done += n;
    }
}

void OggEncoder::drain(bool flushPages) {
    State& s = *state_;
    while (vorbis_analysis_blockout(&s.dsp, &s.block) == 1) {
        vorbis_analysis(&s.block, nullptr);
        vorbis_bitrate_addblock(&s.block);
        ogg_packet packet;
        while (vorbis_bitrate_flushpacket(&s.dsp, &packet) == 1) {
            ogg_stream_packetin(&s.stream, &packet);
            ogg_page page;
            while (ogg_stream_pageout(&s.stream, &page) != 0) {
                file_->write(page.header, static_cast<std::size_t>(page.header_len));
                file_->write(page.body, static_cast<std::size_t>(page.body_len));
            }
        }
    }
    if (flushPages) {
        ogg_page page;
        while (ogg_stream_flush(&s.stream, &page) != 0) {
            file_->write(page.header, static_cast<std::size_t>(page.header_len));
            file_->write(page.body, static_cast<std::size_t>(page.body_len));
        }
    }
}

void OggEncoder::finish() {
    if (!file_)
        return;
    // Zero frames written marks the end: the last packet carries end-of-stream.
    vorbis_analysis_wrote(&state_->dsp, 0);
    drain(true);
    OutputFile file = std::move(*file_);
    file_.reset();
    file.close();
}
