#include "engine/audio/OpusFrameEncoder.h"

#include "platform/Error.h"

#include <opus.h>
#include <opus_multistream.h>

#include <array>
#include <cstdint>
#include <memory>
#include <utility>

namespace {

int applicationCode(int application) {
    switch (application) {
    case 1:
        return OPUS_APPLICATION_VOIP;
    case 2:
        return OPUS_APPLICATION_RESTRICTED_LOWDELAY;
    default:
        return OPUS_APPLICATION_AUDIO;
    }
}

void putLittleEndian(QByteArray& bytes, std::uint32_t value, int size) {
    for (int i = 0; i < size; ++i)
        bytes.append(static_cast<char>((value >> (8 * i)) & 0xff));
}

[[noreturn]] void fail(int error) {
    throw Error(QString::fromUtf8(opus_strerror(error)));
}

} // namespace

struct OpusFrameEncoder::Encoders {
    struct Deleter {
        void operator()(OpusEncoder* encoder) const { opus_encoder_destroy(encoder); }
        void operator()(OpusMSEncoder* encoder) const { opus_multistream_encoder_destroy(encoder); }
    };
    std::unique_ptr<OpusEncoder, Deleter> single;
    std::unique_ptr<OpusMSEncoder, Deleter> surround;
};

OpusFrameEncoder::OpusFrameEncoder(int channels, int kbps, int complexity, int application)
    : encoders_(std::make_unique<Encoders>()) {
    auto& single = encoders_->single;
    auto& surround = encoders_->surround;
    // Mapping family 0 holds mono and stereo; 1 the surround layouts.
    const int family = channels > 2 ? 1 : 0;
    int streams = 1;
    int coupled = channels - 1;
    std::array<unsigned char, 8> mapping{};
    int error = OPUS_OK;
    if (family == 0)
        single.reset(opus_encoder_create(Rate, channels, applicationCode(application), &error));
    else
        surround.reset(opus_multistream_surround_encoder_create(
            Rate, channels, family, &streams, &coupled, mapping.data(),
            applicationCode(application), &error));
    if (error != OPUS_OK || (!single && !surround))
        fail(error == OPUS_OK ? OPUS_ALLOC_FAIL : error);
    const auto control = [&](auto... request) {
        const int result = single ? opus_encoder_ctl(single.get(), request...)
                                  : opus_multistream_encoder_ctl(surround.get(), request...);
        if (result != OPUS_OK)
            fail(result);
    };
    control(OPUS_SET_BITRATE(kbps * 1000));
    control(OPUS_SET_COMPLEXITY(complexity));
    control(OPUS_SET_EXPERT_FRAME_DURATION(OPUS_FRAMESIZE_20_MS));
    opus_int32 lookahead = 0;
    control(OPUS_GET_LOOKAHEAD(&lookahead));
    preSkip_ = lookahead;

    head_ = QByteArray("OpusHead\x01", 9);
    head_.append(static_cast<char>(channels));
    putLittleEndian(head_, static_cast<std::uint32_t>(preSkip_), 2);
    putLittleEndian(head_, Rate, 4); // the rate of the input, for information
    putLittleEndian(head_, 0, 2);    // output gain
    head_.append(static_cast<char>(family));
    if (family != 0) {
        head_.append(static_cast<char>(streams));
        head_.append(static_cast<char>(coupled));
        for (int c = 0; c < channels; ++c)
            head_.append(static_cast<char>(mapping[static_cast<std::size_t>(c)]));
    }
}

OpusFrameEncoder::~OpusFrameEncoder() = default;

int OpusFrameEncoder::encode(const float* frame, unsigned char* packet) {
    const opus_int32 bytes =
        encoders_->single
            ? opus_encode_float(encoders_->single.get(), frame, FrameSize, packet, MaxPacket)
            : opus_multistream_encode_float(encoders_->surround.get(), frame, FrameSize, packet,
                                            MaxPacket);
    if (bytes < 0)
        fail(bytes);
    return bytes;
}
