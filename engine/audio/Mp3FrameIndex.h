#pragma once

#include "engine/audio/FileStamp.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

class QFile;

// The frames of an MP3 file (MPEG-1, 2 or 2.5 Layer III), found by one walk
// over their headers, and what its Xing frame and LAME tag say: the frames
// FFmpeg decodes from it (after the encoder delay and the decoder's 529
// frames the tag names, before its padding). The copies cut from it, and
// the decoder's count of a file it can copy, come from here, so a file is
// walked once however many readers and cutters open it.
class Mp3FrameIndex {
public:
    // What decoders drop beyond the encoder delay (MDCT and filter bank).
    static constexpr int DecoderDelay = 529;

    // Eight bytes a frame: a 3-hour source holds 400,000 of them.
    struct Frame {
        std::uint64_t offset : 38;       // in the file, up to 256 GiB
        std::uint64_t size : 12;         // a Layer III frame is under 2 KiB
        std::uint64_t mainDataBegin : 9; // bytes the main data reaches back
        std::uint64_t bitrateIndex : 4;
        std::uint64_t crc : 1;
    };
    static constexpr std::int64_t MaxOffset = std::int64_t(1) << 38;

    // A frame header, unpacked.
    struct Header {
        bool valid = false;
        bool mpeg1 = true;
        int layer = 0; // 1, 2 or 3
        int bitrateIndex = 0;
        int rate = 0;
        bool padded = false;
        bool crc = false;
        bool mono = false;

        int spf() const { return layer == 3 && !mpeg1 ? 576 : 1152; }
        int bitrate(int index) const;
        int length(int index, bool pad) const {
            return (mpeg1 ? 144 : 72) * bitrate(index) * 1000 / rate + (pad ? 1 : 0);
        }
        int length() const { return length(bitrateIndex, padded); }
    };
    static Header Parse(std::uint32_t header);
    static std::uint32_t BigEndian(const unsigned char* p) {
        return std::uint32_t(p[0]) << 24 | std::uint32_t(p[1]) << 16 | std::uint32_t(p[2]) << 8 |
               p[3];
    }
    // The size of the ID3v2 tag whose first 10 bytes are `p`, 0 for none.
    static std::size_t Id3v2Size(const unsigned char* p, std::size_t size);
    // Reads `size` bytes at `at` into `into`; fewer only at the end of the
    // file. Throws Error when the file cannot be read.
    static qint64 ReadAt(QFile& file, qint64 at, unsigned char* into, qint64 size);

    // Whether the file holds an MPEG audio stream, after any ID3v2 tag: a
    // look at its start only.
    static bool IsMp3(const QString& path);

    // Walks the file once. Throws Error when it cannot be read or holds no
    // MPEG audio.
    explicit Mp3FrameIndex(const QString& path);

    // The index of `path`, shared with every other reader and cutter of the
    // file while it is unchanged (its inode, size and modification time);
    // the last few files' indexes are kept. Throws as the constructor does.
    static std::shared_ptr<const Mp3FrameIndex> Of(const QString& path);

    // Why no piece of the file can be copied (junk between frames, a change
    // of rate, free format ...); empty when pieces can. Only then does the
    // count surely equal FFmpeg's.
    const QString& problem() const { return problem_; }
    // Whether the frames fill the audio from its first byte to its last,
    // with no junk before, between or after them and no partial frame at the
    // end (which FFmpeg might still decode).
    bool whole() const { return whole_; }
    // Frames as FFmpeg decodes them.
    std::int64_t totalFrames() const { return total_; }
    int sampleRate() const { return rate_; }
    int channels() const { return mono_ ? 1 : 2; }

    const std::vector<Frame>& frames() const { return frames_; }
    // The CRC (LameCrc) of the bytes of frames 0 through `frame`, one after
    // the other: a copy takes its music CRC from these rather than reading
    // what it copies.
    std::uint16_t crcThrough(std::size_t frame) const { return crcs_[frame]; }
    // The file as it was when it was walked.
    const FileStamp& stamp() const { return stamp_; }
    // The first audio frame's header: every other agrees on all but the
    // bitrate, padding and CRC.
    std::uint32_t header() const { return header_; }
    bool mpeg1() const { return mpeg1_; }
    int samplesPerFrame() const { return spf_; }
    // Decoded frames dropped at the start.
    std::int64_t startSkip() const { return startSkip_; }
    // The source's LAME tag from its version string on; empty when it has
    // none.
    const QByteArray& lameTag() const { return lame_; }
    int sideInfoSize() const;
    // Where the main data starts in the frame.
    int sideEnd(const Frame& frame) const { return (frame.crc ? 6 : 4) + sideInfoSize(); }

    static constexpr int LameSize = 36;
    static constexpr int LameDelaysAt = 21; // from the version string on

private:
    void read(QFile& file);
    // Reads the Xing and LAME tags of a frame; false when it holds none.
    bool readTag(const unsigned char* p, std::size_t size);

    QString source_;
    FileStamp stamp_;
    QString problem_;
    std::vector<Frame> frames_;
    std::vector<std::uint16_t> crcs_; // by frame, see crcThrough
    std::uint32_t header_ = 0;
    bool mpeg1_ = true;
    bool mono_ = false;
    int rate_ = 0;
    int spf_ = 1152;
    std::int64_t startSkip_ = 0;
    // Where the end is cut off in the decode of all frames (the source's
    // tag), -1 for none.
    std::int64_t endCut_ = -1;
    std::int64_t total_ = 0;
    bool whole_ = false;
    QByteArray lame_;
};
