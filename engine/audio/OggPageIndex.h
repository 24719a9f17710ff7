#pragma once

#include "engine/audio/OggFileView.h"

#include <QString>

#include <cstdint>
#include <vector>

struct OggVorbis_File;

// Every audio page of an opened Vorbis file, read once with libogg: where it
// starts and at which frame its audio ends. vorbisfile takes the file's
// length from the last page and seeks by bisecting on page positions, both
// trusting whatever the pages claim; this index checks every claim against
// the packets on the pages first, and then serves seeking from positions it
// has seen to be true.
class OggPageIndex {
public:
    // Reads `view` up to the end vorbisfile measured. Throws Error naming
    // `path` when the pages do not form one true timeline: a position that
    // is not where the packets before it end, or after pages lost to damage
    // goes back or further than the bytes between can hold, or a length that
    // disagrees with what vorbisfile found. A page repeated whole right after
    // itself is passed over and listed.
    OggPageIndex(const OggFileView& view, OggVorbis_File& file, const QString& path);

    // Pages that repeat the one before them, which decoding must not see:
    // libogg takes them for a break in the sequence and drops the packet
    // running across it.
    const std::vector<OggFileView::Range>& repeatedPages() const { return repeated_; }

    // Where to decode from so that frame `frame` of the file (as vorbisfile
    // counts frames across links) comes out of the decoder on the way
    // forward, nearest first. Where decoding starts on a page is only known
    // once vorbisfile has read on to a positioned page, so the caller tries
    // them in turn; one starts early enough unless the file has changed
    // since. Decoding from `offset` gives no frame before `earliest`.
    struct Start {
        std::int64_t offset = 0;
        std::int64_t earliest = 0;
    };
    std::vector<Start> seekStarts(int link, std::int64_t frame) const;
    // Where decoding starts afresh after a gap in the pages noticed with
    // the file read up to `end`: the last page before `end` that follows
    // pages lost, or -1.
    std::int64_t restartPoint(std::int64_t end) const;
    // The link `frame` belongs to.
    int linkOf(std::int64_t frame) const;
    // Frames of a link, and of the file, as the pages have them.
    std::int64_t frames(int link) const { return links_[static_cast<size_t>(link)].frames; }
    std::int64_t totalFrames() const;

private:
    struct Point {
        std::int64_t offset = 0;  // where the page starts
        std::int64_t granule = 0; // the link's own position after the page
    };
    struct Link {
        std::int64_t begin = 0;        // offset of the first page of the link
        std::int64_t audio = 0;        // offset of the first audio page
        std::int64_t firstGranule = 0; // the link's position of its first frame
        std::int64_t startFrame = 0;   // the first frame in the file's count
        std::int64_t frames = 0;
        std::vector<Point> points;
    };

    std::vector<Link> links_;
    std::vector<std::int64_t> afterGaps_; // starts of pages that follow lost ones
    std::vector<OggFileView::Range> repeated_;
};
