#pragma once

#include <cstddef>

// What a decoder needs to know of the packets of one audio stream, in the
// order a read from the start delivers them: how many frames each decodes to,
// which of those are the file's audio, and where a file frame lies.
class PacketTable {
public:
    virtual ~PacketTable() = default;

    virtual std::size_t size() const = 0;
    // The frames the packet decodes to, before any is dropped.
    virtual int frames(std::size_t packet) const = 0;
    // Of the packet's decoded frames, [keepFrom, keepTo) are the file's audio.
    virtual int keepFrom(std::size_t packet) const = 0;
    virtual int keepTo(std::size_t packet) const = 0;
    // The file frame the packet's first kept frame is.
    virtual long long first(std::size_t packet) const = 0;
    // The last packet starting at or before the file frame: one whose frames
    // are all dropped shares its start with the packet after it.
    virtual std::size_t packetAt(long long frame) const = 0;
    virtual long long totalFrames() const = 0;

protected:
    PacketTable() = default;
    PacketTable(const PacketTable&) = default;
    PacketTable& operator=(const PacketTable&) = default;
};
