#pragma once

#include "engine/audio/Mp3FrameIndex.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

class QFile;

// Cuts frames [begin, end) out of an MP3 file (MPEG-1, 2 or 2.5 Layer III)
// by copying whole frames, without re-encoding. Positions count the frames
// FFmpeg decodes: after the encoder delay and the decoder's 529 frames that
// the source's LAME tag names, and before its padding.
//
// The piece starts with an empty ID3v2 tag, room for the piece's tag to be
// written in place, and a new Xing ("Info" when every frame has the same
// bitrate) frame and LAME tag, then a silent frame whose main data holds the
// bit reservoir the first copied frame reaches back into, then the source's
// frames from one (MPEG-1) or two (MPEG-2 and 2.5) before the first wanted
// sample, whose decode fills the MDCT overlap and the synthesis filter,
// through the frame holding the last wanted sample. The encoder delay and
// padding of the new tag drop exactly the lead and the tail, so the piece
// decodes to end - begin frames, and those are the frames a decode of the
// whole source gives.
//
// Only the file's shared frame index is held; a piece copies its own frames
// from the file (in the kernel: they never pass through the program) and
// reads the few bytes of reservoir before them.
class Mp3StreamCutter {
public:
    // The most a LAME tag's encoder delay and padding can hold.
    static constexpr int MaxDelay = 4095;
    // What decoders drop beyond the encoder delay (MDCT and filter bank).
    static constexpr int DecoderDelay = Mp3FrameIndex::DecoderDelay;

    // Whether the file holds an MPEG audio stream, after any ID3v2 tag.
    static bool IsMp3(const QString& path);

    // Takes the source's frame index, walking the file unless another
    // reader or cutter did. Throws Error when it cannot be read.
    explicit Mp3StreamCutter(const QString& source);

    // Frames as FFmpeg decodes them.
    std::int64_t totalFrames() const { return index_->totalFrames(); }
    int sampleRate() const { return index_->sampleRate(); }
    int channels() const { return index_->channels(); }

    // Why no piece of the source can be copied; empty when pieces can.
    const QString& problem() const { return index_->problem(); }

    // Why [begin, end) cannot be copied exactly, in a few words; empty when
    // it can.
    QString obstacle(std::int64_t begin, std::int64_t end) const;

    // Called now and then with the frames written so far; false ends the
    // piece at the frame in hand, still as a complete file.
    using Progress = std::function<bool(std::int64_t frames)>;

    // Writes the piece to `output` (created or replaced) and returns the
    // frames it holds. Throws Error when it cannot be written.
    std::int64_t write(std::int64_t begin, std::int64_t end, const QString& output,
                       const Progress& progress = {}) const;

private:
    using Frame = Mp3FrameIndex::Frame;
    static std::int64_t offsetOf(const Frame& frame) {
        return static_cast<std::int64_t>(frame.offset);
    }
    // The main data the frames from `first` on reach back for before it.
    std::vector<unsigned char> reservoir(QFile& file, std::size_t first, std::size_t last) const;
    // `toc` holds the byte offset of every hundredth of the frames, from the
    // first audio frame on.
    QByteArray tagFrame(int bitrateIndex, std::int64_t frames, std::int64_t bytes,
                        const std::array<std::int64_t, 100>& toc, int delay, int padding,
                        std::uint16_t musicCrc, bool constant) const;
    QByteArray silentFrame(const std::vector<unsigned char>& reservoir) const;
    [[noreturn]] void changed() const;

    QString source_;
    // Shared with the decoder and every other cutter of the file.
    std::shared_ptr<const Mp3FrameIndex> index_;
    const std::vector<Frame>& frames_;
    // Of the first audio frame: every other must agree.
    std::uint32_t header_;
    bool mpeg1_;
    int spf_;
    // Decoded frames dropped at the start.
    std::int64_t startSkip_;
};
