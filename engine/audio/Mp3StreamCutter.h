#pragma once

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
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
// Only an index of the frames is held (16 bytes a frame); a piece reads its
// own frames and the few bytes of reservoir before them from the file.
class Mp3StreamCutter {
public:
    // The most a LAME tag's encoder delay and padding can hold.
    static constexpr int MaxDelay = 4095;
    // What decoders drop beyond the encoder delay (MDCT and filter bank).
    static constexpr int DecoderDelay = 529;

    // Whether the file holds an MPEG audio stream, after any ID3v2 tag.
    static bool IsMp3(const QString& path);

    // Reads the source once. Throws Error when it cannot be read.
    explicit Mp3StreamCutter(const QString& source);

    // Frames as FFmpeg decodes them.
    std::int64_t totalFrames() const { return total_; }
    int sampleRate() const { return rate_; }
    int channels() const { return mono_ ? 1 : 2; }

    // Why no piece of the source can be copied; empty when pieces can.
    const QString& problem() const { return problem_; }

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
    // Eight bytes a frame: a 3-hour source holds 400,000 of them.
    struct Frame {
        std::uint64_t offset : 38;       // in the file, up to 256 GiB
        std::uint64_t size : 12;         // a Layer III frame is under 2 KiB
        std::uint64_t mainDataBegin : 9; // bytes the main data reaches back
        std::uint64_t bitrateIndex : 4;
        std::uint64_t crc : 1;
    };
    static constexpr std::int64_t MaxOffset = std::int64_t(1) << 38;
    // Where the main data starts in the frame.
    int sideEnd(const Frame& frame) const { return (frame.crc ? 6 : 4) + sideInfoSize(); }
    static std::int64_t offsetOf(const Frame& frame) {
        return static_cast<std::int64_t>(frame.offset);
    }
    void read(QFile& file);
    // Reads the Xing and LAME tags of a frame; false when it holds none.
    bool readTag(const unsigned char* p, std::size_t size);
    // The main data the frames from `first` on reach back for before it.
    std::vector<unsigned char> reservoir(QFile& file, std::size_t first, std::size_t last) const;
    // `toc` holds the byte offset of every hundredth of the frames, from the
    // first audio frame on.
    QByteArray tagFrame(int bitrateIndex, std::int64_t frames, std::int64_t bytes,
                        const std::array<std::int64_t, 100>& toc, int delay, int padding,
                        std::uint16_t musicCrc, bool constant) const;
    QByteArray silentFrame(const std::vector<unsigned char>& reservoir) const;
    int sideInfoSize() const;

    QString source_;
    QString problem_;
    std::vector<Frame> frames_;
    // Of the first frame: every other must agree.
    std::uint32_t header_ = 0;
    bool mpeg1_ = true;
    bool mono_ = false;
    int rate_ = 0;
    int spf_ = 1152;
    // Decoded frames dropped at the start, and where the end is cut off in
    // the decode of all frames (the source's tag), -1 for none.
    std::int64_t startSkip_ = 0;
    std::int64_t endCut_ = -1;
    std::int64_t total_ = 0;
    // The source's LAME tag from its version string on, kept for the pieces.
    QByteArray lame_;
};
