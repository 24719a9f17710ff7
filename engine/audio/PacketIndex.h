#pragma once

#include "engine/audio/PacketTable.h"

#include <cstddef>
#include <cstdint>
#include <deque>
#include <map>
#include <vector>

// The packets of one audio stream in the order a read from the start
// delivers them, with the frames each decodes to and which of those are the
// file's audio. Kept small, as a 30-hour audiobook has millions of packets:
// 16 bytes a packet, the byte offsets and timestamps stored against a base
// shared by up to 256 packets, and the rare packets that drop frames apart.
class PacketIndex final : public PacketTable {
public:
    static constexpr long long NoTime = INT64_MIN; // a packet without a timestamp

    // What the demuxer and the decoder say of one packet.
    struct Facts {
        long long pos = -1; // byte offset; -1 when the demuxer gives none
        long long pts = NoTime;
        int size = 0;
        int frames = 0;       // decoded frames, before any is dropped
        int skip = -1;        // frames to drop from here on, where it says so
        int padding = 0;      // and frames to drop at the end of this one
        bool discard = false; // flagged to be dropped whole
    };

    void add(const Facts& facts);
    void setFrames(std::size_t packet, int frames);
    // Works out which frames of each packet are the file's audio, as
    // libavcodec drops them on a straight decode. Called after the last add
    // and after any setFrames.
    void place();

    std::size_t size() const override { return packets_.size(); }
    bool empty() const { return packets_.empty(); }
    long long pos(std::size_t packet) const;
    long long pts(std::size_t packet) const;
    int bytes(std::size_t packet) const { return packets_[packet].size; }
    int frames(std::size_t packet) const override { return packets_[packet].frames; }
    // Whether a neighbour starts at the same byte offset (one Ogg page, one
    // Matroska lace).
    bool sharesPos(std::size_t packet) const;
    // Of the packet's decoded frames, [keepFrom, keepTo) are the file's audio.
    int keepFrom(std::size_t packet) const override;
    int keepTo(std::size_t packet) const override;
    // The file frame the packet's first kept frame is.
    long long first(std::size_t packet) const override;
    // The last packet starting at or before the file frame: one whose frames
    // are all dropped shares its start with the packet after it.
    std::size_t packetAt(long long frame) const override;
    long long totalFrames() const override { return total_; }

private:
    struct Block {
        std::size_t start = 0; // its first packet
        long long pos = -1;
        long long pts = NoTime;
        long long first = 0; // the file frame of its first packet
    };
    struct Packet {
        std::uint32_t pos; // from the block's; kNone when missing
        std::int32_t pts;  // from the block's; kNoPts when missing
        std::int32_t size;
        std::int32_t frames;
    };
    struct Drop {
        int skip = -1;
        int padding = 0;
        bool discard = false;
    };
    struct Kept {
        int from = 0;
        int to = 0;
    };

    std::size_t blockOf(std::size_t packet) const;
    int kept(std::size_t packet) const;

    std::vector<Block> blocks_;
    // In chunks: growing never copies it, which would hold it twice.
    std::deque<Packet> packets_;
    std::map<std::size_t, Drop> drops_; // packets with something to drop
    std::map<std::size_t, Kept> kept_;  // packets not kept whole
    long long total_ = 0;
};
