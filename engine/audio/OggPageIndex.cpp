#include "engine/audio/OggPageIndex.h"

#include "platform/Error.h"

#include <ogg/ogg.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr std::int64_t kReadBytes = 1 << 16;
// Stand-ins for a block size: no packet at all, and an empty packet.
constexpr long kNone = -2;
constexpr long kEmpty = -3;
// Real packets hold at most some tens of kilobytes; vorbisfile gathers a
// whole packet in memory, so a larger one is damage, or an attack.
constexpr std::int64_t kMaxPacketBytes = 1 << 20;
// Positioned pages an index holds at most: a few times more than a file of
// the longest length that can be cut would have.
constexpr std::int64_t kMaxPoints = std::int64_t(1) << 24;
// Positioned pages a seek tries before it decodes from a link's start.
constexpr std::ptrdiff_t kSeekCandidates = 16;

class SyncState {
public:
    SyncState() { ogg_sync_init(&state_); }
    ~SyncState() { ogg_sync_clear(&state_); }
    SyncState(const SyncState&) = delete;
    SyncState& operator=(const SyncState&) = delete;
    ogg_sync_state* get() { return &state_; }

private:
    ogg_sync_state state_;
};

// What the scan knows of the link it is in.
struct LinkScan {
    bool started = false;
    long sequence = 0;         // of the last page
    std::int64_t granule = -1; // of the last page
    bool ended = false;        // the final page was seen
    // The block of the packet still running on from the last page: -1 when
    // it cannot be told, kNone when no packet runs on.
    long running = kNone;
    bool dropping = false;         // a packet whose start was lost runs on
    std::int64_t runningBytes = 0; // of the packet running on
    long block = -1;               // of the last audio packet; -1 after a gap
    // Frames of the packets completed since the last positioned page, and
    // whether that count is whole (no gap since).
    std::int64_t frames = 0;
    bool counted = true;
    bool positioned = false;
    std::int64_t position = 0; // of the last positioned page
    std::int64_t end = 0;      // where that page ends

    void lose() {
        if (positioned)
            counted = false;
        block = -1;
    }
    void complete(long packetBlock) {
        if (packetBlock == kEmpty)
            return; // an empty packet is no audio and leaves the lapping alone
        if (packetBlock < 0) {
            lose();
            return;
        }
        if (block >= 0)
            frames += block / 4 + packetBlock / 4;
        else if (positioned)
            counted = false; // the block before it was lost
        block = packetBlock;
    }
};

// The block size of the audio packet whose first `bytes` (of its first
// segment) are at `data`, read from its first bits: a packet's frames follow
// from its block and the one before.
long blockAt(vorbis_info& info, unsigned char* data, long bytes) {
    if (bytes <= 0)
        return kEmpty;
    ogg_packet packet{};
    packet.packet = data;
    packet.bytes = bytes;
    return vorbis_packet_blocksize(&info, &packet);
}

// Follows the packets across one page of the link: each lacing value below
// 255 ends a packet. Only the first bytes of a packet are looked at, so a
// packet of any size costs nothing to follow. False for a packet too large
// to be real.
bool followPackets(LinkScan& scan, const ogg_page& page, vorbis_info& info) {
    const int segments = page.header[26];
    const unsigned char* lacing = page.header + 27;
    bool inPacket = false;
    long block = kNone;
    if (ogg_page_continued(&page)) {
        if (scan.running != kNone) {
            inPacket = true;
            block = scan.running;
        } else {
            scan.dropping = true;
        }
    } else if (scan.running != kNone || scan.dropping) {
        scan.dropping = false;
        scan.lose(); // a packet never finished
    }
    if (!ogg_page_continued(&page))
        scan.runningBytes = 0;
    long at = 0;
    for (int i = 0; i < segments; ++i) {
        if (!inPacket && !scan.dropping) {
            inPacket = true;
            block = blockAt(info, page.body + at, lacing[i]);
        }
        at += lacing[i];
        scan.runningBytes += lacing[i];
        if (scan.runningBytes > kMaxPacketBytes)
            return false;
        if (lacing[i] == 255)
            continue;
        scan.runningBytes = 0;
        if (scan.dropping) {
            scan.dropping = false;
            scan.lose();
        } else {
            scan.complete(block);
        }
        inPacket = false;
    }
    scan.running = inPacket ? block : kNone;
    return true;
}

} // namespace

OggPageIndex::OggPageIndex(const OggFileView& view, OggVorbis_File& file, const QString& path) {
    const auto damaged = [&path] {
        throw Error(QStringLiteral("Cannot open %1: the audio data is damaged").arg(path));
    };
    const int links = file.links;
    links_.resize(static_cast<size_t>(links));
    // A frame takes at least one byte of a packet, and one packet gives at
    // most half a long block.
    std::vector<std::int64_t> framesPerByte(static_cast<size_t>(links));
    std::int64_t startFrame = 0;
    for (int i = 0; i < links; ++i) {
        Link& link = links_[static_cast<size_t>(i)];
        link.begin = file.offsets[i];
        link.audio = file.dataoffsets[i];
        link.firstGranule = file.pcmlengths[2 * i];
        link.frames = file.pcmlengths[2 * i + 1];
        link.startFrame = startFrame;
        framesPerByte[static_cast<size_t>(i)] = vorbis_info_blocksize(&file.vi[i], 1) / 2;
        if (link.audio < 0 || link.frames < 0 || framesPerByte[static_cast<size_t>(i)] <= 0)
            damaged();
        startFrame += link.frames;
    }

    const std::int64_t end = std::max(file.end, file.offsets[links]);
    SyncState sync;
    ogg_page page;
    std::int64_t at = 0;   // where the next page found starts
    std::int64_t read = 0; // bytes handed to the sync state
    int current = 0;
    LinkScan scan;
    std::int64_t points = 0;
    for (;;) {
        const long found = ogg_sync_pageseek(sync.get(), &page);
        if (found < 0) {
            at -= found;
            continue;
        }
        if (found == 0) {
            if (read >= end)
                break;
            const auto want = static_cast<size_t>(std::min(kReadBytes, end - read));
            char* buffer = ogg_sync_buffer(sync.get(), static_cast<long>(want));
            const long got = view.readAt(read, buffer, want);
            if (got < 0)
                throw Error(QStringLiteral("Cannot read %1: %2")
                                .arg(path, QString::fromLocal8Bit(std::strerror(errno))));
            if (got == 0)
                break;
            ogg_sync_wrote(sync.get(), static_cast<long>(got));
            read += got;
            continue;
        }
        const std::int64_t start = at;
        at += found;
        if (current + 1 < links && start >= links_[static_cast<size_t>(current) + 1].begin) {
            while (current + 1 < links && start >= links_[static_cast<size_t>(current) + 1].begin)
                ++current;
            scan = LinkScan();
        }
        const auto c = static_cast<size_t>(current);
        if (ogg_page_serialno(&page) != file.serialnos[current])
            continue;
        const std::int64_t granule = ogg_page_granulepos(&page);
        // Pages of headers hold no audio, so no position either.
        if (start < links_[c].audio) {
            if (granule != 0)
                damaged();
            continue;
        }
        const long sequence = ogg_page_pageno(&page);
        // The same page again, as a faulty copy or a network stream may
        // leave it: decoding steps over it.
        if (scan.started && sequence == scan.sequence && granule == scan.granule) {
            repeated_.push_back({start, at});
            continue;
        }
        // A page on which a packet ends carries its position; without one
        // vorbisfile could only decode from the link's start.
        if (scan.ended || granule < -1 || (granule == -1 && ogg_page_packets(&page) > 0))
            damaged();
        // Pages missing in between take their packets with them.
        if (scan.started && sequence != scan.sequence + 1) {
            scan.lose();
            scan.running = kNone;
            scan.dropping = false;
            afterGaps_.push_back(start);
        }
        scan.started = true;
        scan.sequence = sequence;
        scan.granule = granule;
        const bool final = ogg_page_eos(&page) != 0;
        if (final)
            scan.ended = true;
        // A page's position is where its last completed packet ends.
        if (!followPackets(scan, page, file.vi[current]))
            damaged();
        if (granule == -1)
            continue;
        if (scan.positioned) {
            // vorbisfile cannot start decoding on a final page, so after a
            // gap its audio has no place it could be put.
            if (final && !scan.counted)
                damaged();
            const std::int64_t step = granule - scan.position;
            // Counted exactly where nothing is lost, the final page may end
            // early; over a gap no more frames than its bytes can hold.
            const bool believable =
                scan.counted ? (final ? step >= 0 && step <= scan.frames : step == scan.frames)
                             : step > 0 && step <= (at - scan.end) * framesPerByte[c];
            if (!believable)
                damaged();
        }
        if (!scan.positioned || granule > scan.position) {
            // No real file comes near this many pages; the index stays small.
            if (++points > kMaxPoints)
                damaged();
            links_[c].points.push_back({start, granule});
        }
        scan.positioned = true;
        scan.position = granule;
        scan.end = at;
        scan.frames = 0;
        scan.counted = true;
    }

    // vorbisfile's lengths come from the first and last positioned pages;
    // they must be the ones found here. Searching back from the end of the
    // file for the last one, it can miss it behind a page cut off; only the
    // last link's length leaves the numbering of every other frame alone.
    for (size_t i = 0; i < links_.size(); ++i) {
        Link& link = links_[i];
        if (link.points.empty()) {
            if (link.frames != 0)
                damaged();
            continue;
        }
        const std::int64_t found = link.points.back().granule - link.firstGranule;
        if (link.points.front().granule < link.firstGranule ||
            (found != link.frames && (i + 1 < links_.size() || found < link.frames)))
            damaged();
        link.frames = found;
    }
}

std::int64_t OggPageIndex::totalFrames() const {
    return links_.empty() ? 0 : links_.back().startFrame + links_.back().frames;
}

int OggPageIndex::linkOf(std::int64_t frame) const {
    int link = 0;
    while (link + 1 < static_cast<int>(links_.size()) &&
           frame >= links_[static_cast<size_t>(link) + 1].startFrame)
        ++link;
    return link;
}

std::vector<OggPageIndex::Start> OggPageIndex::seekStarts(int link, std::int64_t frame) const {
    const Link& l = links_[static_cast<size_t>(link)];
    const std::int64_t granule = frame - l.startFrame + l.firstGranule;
    // The frame lies on the first positioned page that ends at or after it,
    // or on a page between that one and the one before. Decoding on a page
    // starts with the second packet that begins on it, so the frame may lie
    // before that; earlier pages start earlier, and on pages holding less
    // than a packet each it takes a few. A link's first page is the only one
    // vorbisfile numbers from the link's start, and always early enough.
    const auto after = std::lower_bound(
        l.points.begin(), l.points.end(), granule,
        [](const Point& point, std::int64_t value) { return point.granule < value; });
    std::vector<Start> starts;
    const auto at = after - l.points.begin();
    for (auto i = at; i >= 1 && i > at - kSeekCandidates; --i)
        if (i < static_cast<std::ptrdiff_t>(l.points.size()))
            starts.push_back(
                {l.points[static_cast<size_t>(i)].offset,
                 l.points[static_cast<size_t>(i) - 1].granule - l.firstGranule + l.startFrame});
    // Far from the start that many pages always suffice; decoding from the
    // start there would only mean the file is no longer the one indexed.
    if (at - kSeekCandidates < 1)
        starts.push_back({l.begin, l.startFrame});
    return starts;
}

std::int64_t OggPageIndex::restartPoint(std::int64_t end) const {
    // A gap is noticed once the page after it has been read; vorbisfile may
    // have read on a little further.
    const auto after = std::lower_bound(afterGaps_.begin(), afterGaps_.end(), end);
    return after == afterGaps_.begin() ? -1 : *(after - 1);
}
