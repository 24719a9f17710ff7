#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

// libopus at 48 kHz, one 20 ms frame at a time, with the OpusHead packet that
// describes its stream. Mono and stereo go through a plain encoder, surround
// (mapping family 1) through a multistream one: libopus's multistream calls
// measure every stream's encoder afresh on every frame, with a CPUID that a
// virtual machine traps, which cost a third of the encoding time.
//
// Kept apart from the Ogg writer because libopus's C type shares its name.
class OpusFrameEncoder {
public:
    static constexpr int Rate = 48000;
    static constexpr int FrameSize = 960;
    // The largest packet: 1275 bytes a stream, eight streams at most.
    static constexpr int MaxPacket = 1275 * 8 + 16;

    // `application` is 0 audio, 1 VoIP, 2 low delay. Throws Error with
    // libopus's reason when it refuses.
    OpusFrameEncoder(int channels, int kbps, int complexity, int application);
    ~OpusFrameEncoder();
    OpusFrameEncoder(const OpusFrameEncoder&) = delete;
    OpusFrameEncoder& operator=(const OpusFrameEncoder&) = delete;

    // Frames of delay the decoder drops at the start (the pre-skip).
    int preSkip() const { return preSkip_; }
    // The OpusHead packet with that pre-skip.
    const QByteArray& head() const { return head_; }

    // Encodes one frame of FrameSize interleaved frames into `packet`
    // (MaxPacket bytes) and returns its size. Throws Error on failure.
    int encode(const float* frame, unsigned char* packet);

private:
    // libopus's encoders, named only in the source (see above).
    struct Encoders;
    std::unique_ptr<Encoders> encoders_;
    int preSkip_ = 0;
    QByteArray head_;
};
