#include "engine/audio/OggPageIndex.h"

#include "platform/Error.h"
#include "platform/TerminationSignal.h"

#include <ogg/ogg.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cerrno>
#include <cstring>

namespace {

constexpr std::int64_t kReadBytes = 1 << 16;
// Stand-ins for a block size: no packet at all, and a packet that yields no
// audio (empty, or no audio packet).
constexpr long kNone = -2;
constexpr long kEmpty = -3;
// Real packets hold at most some tens of kilobytes; vorbisfile gathers a
// whole packet in memory, so a larger one is damage, or an attack.
constexpr std::int64_t kMaxPacketBytes = 1 << 20;
// Positioned pages an index holds at most: a few times more than a file of
// the longest length that can be cut would have.
constexpr std::int64_t kMaxPoints = std::int64_t(1) << 24;
// Positions beyond this are damage; clamped to it, no sum or difference of
// positions and frame counts can overflow.
constexpr std::int64_t kMaxPosition = std::int64_t(1) << 60;
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
    bool begun = false;            // a packet has started in the link's audio
    std::int64_t runningBytes = 0; // of the packet running on
    long block = -1;               // of the last audio packet; -1 after a gap
    // Frames of the packets completed since the last positioned page (or
    // the link's start), whether that count is whole (no gap since), and
    // what the last of them yielded.
    std::int64_t frames = 0;
    bool counted = true;
    std::int64_t lastFrames = 0;
    bool positioned = false;
    std::int64_t position = 0; // granule of the last positioned page
    std::int64_t end = 0;      // where that page ends
    std::int64_t decoded = 0;  // frames decoded up to that page's end
    // libvorbis forgets its position at the link's start and at every packet
    // that is no audio (an encoder that repeats its headers inside the
    // stream): the next position it is given is then taken as a stream's
    // first, and what it counted since beyond that position is trimmed from
    // that page's last packet. It counts from the audio packet after the
    // one that came first, as at a stream's start; -1 before that one.
    bool unplaced = true;
    std::int64_t sinceUnplaced = -1;

    void lose() {
        counted = false;
        block = -1;
    }
    void complete(long packetBlock) {
        if (packetBlock == kEmpty) {
            // No audio: it leaves the lapping alone, not the position.
            unplaced = true;
            sinceUnplaced = -1;
            return;
        }
        if (packetBlock < 0) {
            lose();
            return;
        }
        // The first packet only primes the lapping and yields nothing.
        lastFrames = block >= 0 ? block / 4 + packetBlock / 4 : 0;
        frames += lastFrames;
        block = packetBlock;
        if (unplaced)
            sinceUnplaced = sinceUnplaced < 0 ? 0 : sinceUnplaced + lastFrames;
    }
    // Frames decoded to the end of the link as it stands.
    std::int64_t total() const { return decoded + (!ended && counted ? frames : 0); }
};

// The block size of the audio packet whose first `bytes` (of its first
// segment) are at `data`, read from its first bits: a packet's frames follow
// from its block and the one before. A packet that is no audio (some
// encoders repeat the three headers inside the stream) is skipped by the
// decoder as if it were empty, and leaves the lapping alone.
long blockAt(vorbis_info& info, unsigned char* data, long bytes) {
    if (bytes <= 0)
        return kEmpty;
    ogg_packet packet{};
    packet.packet = data;
    packet.bytes = bytes;
    const long block = vorbis_packet_blocksize(&info, &packet);
    return block > 0 ? block : kEmpty;
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
            scan.begun = true;
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
            // A packet begun on the page that ends the headers (some
            // muxers put audio there) is no loss: decoding starts after it,
            // as it starts after the headers.
            if (scan.begun)
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
    // Where vorbisfile's own numbering starts each link: it adds up the
    // lengths it measured from the links' positions.
    std::vector<std::int64_t> told(static_cast<size_t>(links));
    const auto bounded = [](std::int64_t value) {
        return std::clamp(value, -kMaxPosition, kMaxPosition);
    };
    for (int i = 0; i < links; ++i) {
        Link& link = links_[static_cast<size_t>(i)];
        link.begin = file.offsets[i];
        link.audio = file.dataoffsets[i];
        framesPerByte[static_cast<size_t>(i)] = vorbis_info_blocksize(&file.vi[i], 1) / 2;
        if (link.audio < 0 || framesPerByte[static_cast<size_t>(i)] <= 0)
            damaged();
        if (i > 0)
            told[static_cast<size_t>(i)] = bounded(told[static_cast<size_t>(i) - 1] +
                                                   bounded(file.pcmlengths[2 * (i - 1) + 1]));
    }

    const std::int64_t end = std::max(file.end, file.offsets[links]);
    SyncState sync;
    ogg_page page;
    std::int64_t at = 0;   // where the next page found starts
    std::int64_t read = 0; // bytes handed to the sync state
    int current = 0;
    LinkScan scan;
    std::int64_t points = 0;
    std::size_t unplacedGaps = 0; // gaps waiting for the positioned page after them
    const auto closeLink = [&] {
        Link& link = links_[static_cast<size_t>(current)];
        link.frames = scan.total();
        if (current + 1 < links)
            links_[static_cast<size_t>(current) + 1].startFrame = link.startFrame + link.frames;
    };
    for (;;) {
        const long found = ogg_sync_pageseek(sync.get(), &page);
        if (found < 0) {
            at -= found;
            continue;
        }
        if (found == 0) {
            if (read >= end)
                break;
            // Ctrl-C or the end of the session must not wait for a long file.
            if (TerminationSignal::Requested())
                throw Error(QStringLiteral("Cannot open %1: stopped").arg(path));
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
            while (current + 1 < links && start >= links_[static_cast<size_t>(current) + 1].begin) {
                closeLink();
                ++current;
            }
            scan = LinkScan();
        }
        const auto c = static_cast<size_t>(current);
        // Pages of headers hold no audio, and other streams none of ours.
        if (ogg_page_serialno(&page) != file.serialnos[current] || start < links_[c].audio)
            continue;
        const std::int64_t granule =
            ogg_page_granulepos(&page) == -1 ? -1 : bounded(ogg_page_granulepos(&page));
        const long sequence = ogg_page_pageno(&page);
        // The same page again, as a faulty copy or a network stream may
        // leave it: decoding steps over it.
        if (scan.started && sequence == scan.sequence && granule == scan.granule) {
            repeated_.push_back({start, at});
            continue;
        }
        // Audio after the stream's end belongs nowhere.
        if (scan.ended)
            damaged();
        // Pages missing in between take their packets with them.
        if (scan.started && sequence != scan.sequence + 1) {
            scan.lose();
            scan.running = kNone;
            scan.dropping = false;
            afterGaps_.push_back({start, 0});
        }
        scan.started = true;
        scan.sequence = sequence;
        scan.granule = granule;
        const bool final = ogg_page_eos(&page) != 0;
        if (final)
            scan.ended = true;
        if (!followPackets(scan, page, file.vi[current]))
            damaged();
        if (granule == -1)
            continue;
        // libvorbis trims the last packet of the page that gives it its
        // position (at the link's start, or after a packet that is no audio)
        // when the page claims fewer frames than it counted (audio trimmed at
        // the start, or the end of a stream of one page), and the final
        // page's last packet when that page ends short. Everywhere else it
        // believes the packets.
        const auto trim = [&](std::int64_t counted, std::int64_t claimed) {
            return std::clamp<std::int64_t>(counted - claimed, 0, scan.lastFrames);
        };
        std::int64_t decoded = 0;
        if (scan.counted) {
            const std::int64_t before = scan.positioned ? scan.decoded : 0;
            if (scan.unplaced && scan.sinceUnplaced >= 0) {
                decoded = before + scan.frames - trim(scan.sinceUnplaced, granule);
                scan.unplaced = false;
            } else if (final && !scan.unplaced) {
                decoded = before + scan.frames - trim(scan.frames, granule - scan.position);
            } else {
                decoded = before + scan.frames;
            }
        } else if (!scan.positioned) {
            // Pages lost before the first position: it is all there is.
            decoded = std::max<std::int64_t>(0, granule - bounded(file.pcmlengths[2 * current]));
            scan.unplaced = false;
        } else {
            // vorbisfile cannot start decoding on a final page, so after a
            // gap its audio has no place it could be put. Otherwise the
            // positions on either side measure what was lost, and no more
            // than the bytes between can hold.
            const std::int64_t step = granule - scan.position;
            if (final || step <= 0 || step > (at - scan.end) * framesPerByte[c])
                damaged();
            decoded = scan.decoded + step;
            scan.unplaced = false;
        }
        Link& link = links_[c];
        const std::int64_t shift =
            std::max<std::int64_t>(granule - bounded(file.pcmlengths[2 * current]), 0) + told[c] -
            (link.startFrame + decoded);
        for (; unplacedGaps < afterGaps_.size(); ++unplacedGaps)
            afterGaps_[unplacedGaps].shift = shift;
        if (link.points.empty() || decoded > link.points.back().frame) {
            // No real file comes near this many pages; the index stays small.
            if (++points > kMaxPoints)
                damaged();
            link.points.push_back({start, decoded, shift});
        }
        scan.positioned = true;
        scan.position = granule;
        scan.end = at;
        scan.decoded = decoded;
        scan.frames = 0;
        scan.counted = true;
    }
    if (links > 0)
        closeLink();
    // A gap no positioned page follows leaves nothing to restart at.
    afterGaps_.resize(unplacedGaps);
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
    const std::int64_t local = frame - l.startFrame;
    // The frame lies on the first positioned page that ends at or after it,
    // or on a page between that one and the one before. Decoding on a page
    // starts with the second packet that begins on it, so the frame may lie
    // before that; earlier pages start earlier, and on pages holding less
    // than a packet each it takes a few. From a link's first page decoding
    // starts at the link's first frame, always early enough.
    const auto after = std::lower_bound(
        l.points.begin(), l.points.end(), local,
        [](const Point& point, std::int64_t value) { return point.frame < value; });
    std::vector<Start> starts;
    const auto at = after - l.points.begin();
    for (auto i = at; i >= 1 && i > at - kSeekCandidates; --i)
        if (i < static_cast<std::ptrdiff_t>(l.points.size())) {
            const Point& point = l.points[static_cast<size_t>(i)];
            starts.push_back({point.offset,
                              l.points[static_cast<size_t>(i) - 1].frame + l.startFrame,
                              point.shift, false});
        }
    // Far from the start that many pages always suffice; decoding from the
    // start there would only mean the file is no longer the one indexed.
    // A straight decode of the file starts after the first link's header
    // pages, and leaves out audio a muxer put on the last of them; a
    // later link is decoded from its first page on.
    if (at - kSeekCandidates < 1)
        starts.push_back({l.begin, l.startFrame, 0, true});
    return starts;
}

OggPageIndex::Restart OggPageIndex::restartPoint(std::int64_t end) const {
    // A gap is noticed once the page after it has been read; vorbisfile may
    // have read on a little further.
    const auto after =
        std::lower_bound(afterGaps_.begin(), afterGaps_.end(), end,
                         [](const Gap& gap, std::int64_t value) { return gap.offset < value; });
    if (after == afterGaps_.begin())
        return {};
    return {(after - 1)->offset, (after - 1)->shift};
}
