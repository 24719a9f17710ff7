#pragma once

#include "engine/audio/VorbisPacketIndex.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <vector>

// Cuts frames [begin, end) out of an Ogg Vorbis file without re-encoding:
// the audio packets that hold those frames, and the one before them that the
// first needs for its overlap, are copied into a fresh logical stream behind
// the source's identification and setup headers. Granule positions make a
// decoder drop exactly the surplus at both ends: the end by the last page's
// short position, the start by the first audio page's short position.
//
// The comment header carries the source's vendor and no comments; the
// program's tag writing fills it afterwards, as it does for every output.
// A piece that runs over into later links of a chained file becomes a chained
// file itself, one link per source link.
class VorbisStreamCutter {
public:
    // Reads the source's pages once. Throws Error when it cannot be read.
    explicit VorbisStreamCutter(const QString& source);

    const VorbisPacketIndex& index() const { return index_; }

    // Why [begin, end) cannot be copied exactly, in a few words ("damaged
    // source", "empty piece", ...); empty when it can.
    QString obstacle(std::int64_t begin, std::int64_t end) const;

    // Called now and then with the frames written so far; false ends the
    // piece at the packet in hand, still as a complete file.
    using Progress = std::function<bool(std::int64_t frames)>;

    // Writes the piece to `output` (created or replaced) and returns the
    // frames it holds. Throws Error when the piece cannot be copied, the
    // source cannot be read or the output cannot be written.
    std::int64_t write(std::int64_t begin, std::int64_t end, const QString& output,
                       const Progress& progress = {}) const;

private:
    // The part of the piece that lies in one link, in its granule positions,
    // and the packets [first, last] that carry it (first is the overlap).
    struct Span {
        std::size_t link = 0;
        std::int64_t from = 0;
        std::int64_t to = 0;
        std::size_t first = 0;
        std::size_t last = 0;
    };
    QString plan(std::int64_t begin, std::int64_t end, std::vector<Span>& spans) const;

    VorbisPacketIndex index_;
};
