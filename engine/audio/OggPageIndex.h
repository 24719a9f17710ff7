#pragma once

#include "engine/audio/OggFileView.h"

#include <QString>

#include <cstdint>
#include <vector>

struct OggVorbis_File;

// Every audio page of an opened Vorbis file, read once with libogg: where it
// starts and at which frame its audio ends. Frames are counted the way
// libvorbis delivers them when vorbisfile decodes a file from its start
// (as oggdec does): every packet yields what its block sizes say, whatever
// the pages' granule positions claim. Muxers differ in the positions they
// write (some run ahead of the packets, some start below zero), and decoders
// play the packets all the same; positions only trim the first page and
// pages that end the stream. Packets lost with pages that are missing or fail
// their checksum are left out, and decoding laps on across the gap. Seeking
// is then served from the frames counted here, translated to vorbisfile's own
// numbering page by page.
class OggPageIndex {
public:
    // Reads `view` up to the end vorbisfile measured. Throws Error naming
    // `path` when the pages cannot be placed on one timeline: pages lost to
    // damage whose neighbours' positions go back, or a packet too large to be
    // real. A page repeated whole right after itself is passed over and
    // listed.
    OggPageIndex(const OggFileView& view, OggVorbis_File& file, const QString& path);

    // Pages that repeat the one before them, which decoding must not see:
    // libogg takes them for a break in the sequence and drops the packet
    // running across it.
    const std::vector<OggFileView::Range>& repeatedPages() const { return repeated_; }

    // Where to decode from so that frame `frame` of the file (frames counted
    // across links, each link in its own rate) comes out of the decoder on the
    // way forward, nearest first. Where decoding starts on a page is only
    // known once vorbisfile has read on to a positioned page, so the caller
    // tries them in turn. Decoding from `offset` gives no frame before
    // `earliest`; vorbisfile's position right after the seek, less `shift`,
    // is the frame decoding starts at, except from a link's first page
    // (`linkStart`), where it starts at `earliest`, which may lie before the
    // link's first frame.
    struct Start {
        std::int64_t offset = 0;
        std::int64_t earliest = 0;
        std::int64_t shift = 0;
        bool linkStart = false;
    };
    std::vector<Start> seekStarts(int link, std::int64_t frame) const;
    // The link `frame` belongs to.
    int linkOf(std::int64_t frame) const;
    // Frames of a link, where it starts, and frames of the file.
    std::int64_t frames(int link) const { return links_[static_cast<size_t>(link)].frames; }
    std::int64_t startFrame(int link) const { return links_[static_cast<size_t>(link)].startFrame; }
    std::int64_t totalFrames() const;

private:
    struct Point {
        std::int64_t offset = 0; // where the page starts
        std::int64_t frame = 0;  // the link's frames decoded up to the page's end
        std::int64_t shift = 0;  // vorbisfile's position there, less the file's frame
    };
    struct Link {
        std::int64_t begin = 0;      // offset of the first page of the link
        std::int64_t lead = 0;       // frames decoded from there before its first
        std::int64_t startFrame = 0; // the first frame in the file's count
        std::int64_t frames = 0;
        std::vector<Point> points;
    };

    std::vector<Link> links_;
    std::vector<OggFileView::Range> repeated_;
};
