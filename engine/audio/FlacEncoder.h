#pragma once

#include "engine/audio/AudioEncoder.h"
#include "engine/audio/OutputFile.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

// FLAC through libFLAC, at the rate and channel count of the frames it is
// given. Samples are stored at `bits` per sample (the source's depth where it
// had one): a lossless source's samples come back exactly. Compression level
// 0..8 only trades time for size. Frames come in the program's (Vorbis)
// channel order and are written in the one FLAC defines for their count
// (ChannelOrder::Flac), which every decoder assumes.
class FlacEncoder : public AudioEncoder {
public:
    struct Format {
        int rate = 44100;
        int channels = 2;
        int bits = 16;
        int level = 5;
    };

    FlacEncoder(const QString& path, const Format& format);
    ~FlacEncoder() override;

    int rate() const override { return format_.rate; }
    int channels() const override { return format_.channels; }
    void write(const float* interleaved, std::size_t frames) override;
    void finish() override;

    // The depth a FLAC output keeps of a source of `sourceBits` per sample
    // (0 when the source had none, as lossy formats).
    static int outputBits(int sourceBits);

private:
    // Owns libFLAC's encoder, whose type cannot be declared ahead.
    struct Stream;
    friend struct FlacCallbacks;

    // Takes bytes libFLAC has encoded; false once the file cannot take them.
    bool take(const unsigned char* data, std::size_t size);
    [[noreturn]] void fail(const QString& what) const;

    Format format_;
    QString path_;
    std::optional<OutputFile> file_;
    std::vector<int> order_; // for each written channel, the one it is taken from
    std::vector<int> block_;
    // The file's first bytes up to the end of STREAMINFO, rewritten with the
    // final length and checksum once the stream is complete.
    std::vector<unsigned char> head_;
    QString writeError_;
    // Last, so it goes first: deleting an unfinished encoder still calls
    // back into the members above.
    std::unique_ptr<Stream> encoder_;
};
