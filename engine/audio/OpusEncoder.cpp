#include "engine/audio/OpusEncoder.h"
#include "engine/audio/OpusFrameEncoder.h"

#include "platform/Error.h"

#include <QRandomGenerator>

#include <algorithm>
#include <utility>

namespace {
constexpr int FrameSize = OpusFrameEncoder::FrameSize;
} // namespace

OpusEncoder::OpusEncoder(const QString& path, const Format& format) : format_(format), path_(path) {
    if (format.channels < 1 || format.channels > 8 || format.kbps < 6 || format.kbps > 510 ||
        format.complexity < 0 || format.complexity > 10)
        throw Error(QStringLiteral("Cannot create %1: Opus cannot encode %2 channels at %3 kbps, "
                                   "complexity %4")
                        .arg(path)
                        .arg(format.channels)
                        .arg(format.kbps)
                        .arg(format.complexity));
    try {
        encoder_ = std::make_unique<OpusFrameEncoder>(
            format.channels, format.kbps, format.complexity, static_cast<int>(format.application));
    } catch (const Error& e) {
        throw Error(QStringLiteral("Cannot create %1: %2").arg(path, e.message()));
    }
    file_.emplace(path);
    packet_.resize(OpusFrameEncoder::MaxPacket);
    pending_.reserve(static_cast<std::size_t>(FrameSize * format.channels));
}

OpusEncoder::~OpusEncoder() = default;

void OpusEncoder::writePages(bool flush) {
    ogg_page page;
    while ((flush ? ogg_stream_flush(stream_->get(), &page)
                  : ogg_stream_pageout(stream_->get(), &page)) != 0) {
        file_->write(page.header, static_cast<std::size_t>(page.header_len));
        file_->write(page.body, static_cast<std::size_t>(page.body_len));
    }
}

void OpusEncoder::encode(const float* frame, bool last) {
    if (!stream_) {
        // The headers go out with the first audio: a file that never gets
        // any stays empty, and whoever closes it discards it.
        stream_ = std::make_unique<StreamState>(
            static_cast<int>(QRandomGenerator::global()->generate() & 0x7fffffff));
        ogg_packet packet{};
        QByteArray head = encoder_->head();
        packet.packet = reinterpret_cast<unsigned char*>(head.data());
        packet.bytes = head.size();
        packet.b_o_s = 1;
        ogg_stream_packetin(stream_->get(), &packet);
        writePages(true);
        // The comments are the tag writer's, afterwards, as for every output.
        static const char tags[] = "OpusTags\x08\0\0\0Tarnwell\0\0\0\0";
        packet = ogg_packet{};
        packet.packet = reinterpret_cast<unsigned char*>(const_cast<char*>(tags));
        packet.bytes = sizeof tags - 1;
        packet.packetno = 1;
        ogg_stream_packetin(stream_->get(), &packet);
        writePages(true);
        packetNo_ = 2;
    }
    int bytes = 0;
    try {
        bytes = encoder_->encode(frame, packet_.data());
    } catch (const Error& e) {
        throw Error(QStringLiteral("Cannot write %1: %2").arg(path_, e.message()));
    }
    encoded_ += FrameSize;
    ogg_packet packet{};
    packet.packet = packet_.data();
    packet.bytes = bytes;
    packet.packetno = packetNo_++;
    packet.e_o_s = last ? 1 : 0;
    // The last page ends where the audio does; the decoder drops the rest.
    packet.granulepos = last ? encoder_->preSkip() + written_ : encoded_;
    ogg_stream_packetin(stream_->get(), &packet);
    writePages(last);
}

void OpusEncoder::write(const float* interleaved, std::size_t frames) {
    if (!file_)
        return;
    const auto channels = static_cast<std::size_t>(format_.channels);
    const auto frameSamples = static_cast<std::size_t>(FrameSize) * channels;
    const float* at = interleaved;
    std::size_t left = frames * channels;
    written_ += static_cast<std::int64_t>(frames);
    // The encoder takes whole 20 ms frames; one is never the last here, as
    // finish() ends the stream with whatever is left and the encoder's delay.
    if (!pending_.empty()) {
        const std::size_t take = std::min(left, frameSamples - pending_.size());
        pending_.insert(pending_.end(), at, at + take);
        at += take;
        left -= take;
        if (pending_.size() < frameSamples)
            return;
        encode(pending_.data(), false);
        pending_.clear();
    }
    for (; left >= frameSamples; at += frameSamples, left -= frameSamples)
        encode(at, false);
    pending_.assign(at, at + left);
}

void OpusEncoder::finish() {
    if (!file_)
        return;
    if (written_ > 0) {
        // Silence after the audio fills the last frame and carries the
        // audio through the encoder's delay.
        const auto channels = static_cast<std::size_t>(format_.channels);
        const auto frameSamples = static_cast<std::size_t>(FrameSize) * channels;
        const std::int64_t end = encoder_->preSkip() + written_;
        while (encoded_ < end) {
            pending_.resize(frameSamples, 0.0f);
            encode(pending_.data(), encoded_ + FrameSize >= end);
            pending_.clear();
        }
        writePages(true);
    }
    encoder_.reset();
    stream_.reset();
    OutputFile file = std::move(*file_);
    file_.reset();
    file.close();
}
