#pragma once

#include "engine/audio/AudioEncoder.h"
#include "engine/audio/OutputFile.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

struct SF_VIRTUAL_IO;

// PCM WAV: 8-bit (unsigned, as WAV stores it), 16, 24 or 32-bit integer
// samples. Overs are clipped, never wrapped. Frames come in the program's
// (Vorbis) channel order and are written in the order of the speaker mask the
// header declares (ChannelOrder::Wav).
//
// The format chunk is the plain PCM one (format tag 1, WAVE_FORMAT_PCM) that
// every WAV reader takes wherever it suffices: 1 or 2 channels of 8 or 16
// bits. More channels or more bits get WAVE_FORMAT_EXTENSIBLE, which declares
// the speakers and the valid bits, as the format asks for those. PCM needs no
// fact chunk and gets none.
//
// The file is a plain RIFF WAV while it stays within what a WAV header can
// count (4 GiB), and RF64, the same layout with 64-bit sizes, once it grows
// past that: a join of many hours would otherwise get sizes that wrapped
// around. RF64's ds64 chunk has to come first, and the length is not known
// when the header is written, so a JUNK chunk of its size keeps the room
// (as FFmpeg's -rf64 auto does): RIFF WAVE JUNK fmt data.
class WavEncoder : public AudioEncoder {
public:
    WavEncoder(const QString& path, int rate, int channels, int bitsPerSample);
    // Writes through `io` (its write, seek and tell), with `user` handed to
    // each of its calls, instead of into a file; `name` names the output in
    // messages. For callers that keep the bytes themselves: a test of an
    // output too large to be written to a disk.
    WavEncoder(const QString& name, SF_VIRTUAL_IO& io, void* user, int rate, int channels,
               int bitsPerSample);
    // One not finished is completed as far as it got, quietly.
    ~WavEncoder() override;

    int rate() const override { return rate_; }
    int channels() const override { return channels_; }
    void write(const float* interleaved, std::size_t frames) override;
    void finish() override;

private:
    // The header of a file of `dataBytes` bytes of samples (RF64 when those
    // do not fit a RIFF header). Its length does not depend on `dataBytes`.
    std::vector<unsigned char> header(std::uint64_t dataBytes) const;
    void put(const void* data, std::size_t size);
    void rewriteHeader(const std::vector<unsigned char>& bytes);
    [[noreturn]] void fail(const char* what, int error) const;

    QString path_;
    int rate_;
    int channels_;
    int bits_;
    std::vector<int> order_; // for each written channel, the one it is taken from
    std::vector<unsigned char> bytes_;
    std::uint64_t dataBytes_ = 0;
    bool open_ = false;
    std::optional<OutputFile> file_;
    SF_VIRTUAL_IO* io_ = nullptr;
    void* user_ = nullptr;
};
