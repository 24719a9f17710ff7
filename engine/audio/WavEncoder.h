#pragma once

#include "engine/audio/AudioEncoder.h"

#include <QString>

#include <memory>
#include <vector>

struct sf_private_tag;
struct SF_VIRTUAL_IO;

// PCM WAV through libsndfile: 8-bit (unsigned, as WAV stores it), 16, 24 or
// 32-bit integer samples. Overs are clipped, never wrapped. Frames come in
// the program's (Vorbis) channel order and are written in the order of the
// speaker mask the header declares.
//
// The file is a plain RIFF WAV while it stays within what a WAV header can
// count (4 GiB), and RF64, the same layout with 64-bit sizes, once it grows
// past that: a join of many hours would otherwise get sizes that wrapped
// around. A small file carries a JUNK chunk where RF64 keeps its sizes.
class WavEncoder : public AudioEncoder {
public:
    WavEncoder(const QString& path, int rate, int channels, int bitsPerSample);
    // Writes through `io`, with `user` handed to each of its calls, instead
    // of into a file; `name` names the output in messages. For callers that
    // keep the bytes themselves: a test of an output too large to be written
    // to a disk.
    WavEncoder(const QString& name, SF_VIRTUAL_IO& io, void* user, int rate, int channels,
               int bitsPerSample);
    ~WavEncoder() override;

    int rate() const override { return rate_; }
    int channels() const override { return channels_; }
    void write(const float* interleaved, std::size_t frames) override;
    void finish() override;

private:
    struct Closer {
        void operator()(sf_private_tag* file) const;
    };
    // Takes the file libsndfile opened (null when it could not).
    void adopt(sf_private_tag* file);
    [[noreturn]] void fail(const char* what, int error, const char* libraryReason) const;

    QString path_;
    int rate_;
    int channels_;
    std::vector<int> order_; // for each written channel, the one it is taken from
    std::vector<float> reordered_;
    std::unique_ptr<sf_private_tag, Closer> file_;
};
