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
    bool ended = false;        // the last page ends the stream
    bool gap = false;          // pages were lost since the last positioned page
    // The block of the packet still running on from the last page, kNone
    // when no packet runs on, and whether it is the first audio packet to
    // start after the headers.
    long running = kNone;
    bool runningFirst = false;
    bool dropping = false;         // a packet whose start was lost runs on
    std::int64_t runningBytes = 0; // of the packet running on
    long block = -1;               // of the last audio packet; -1 before the first
    bool lastAudio = false;        // the last packet completed on the page is audio
    // Frames of the packets completed since the last positioned page (or
    // the link's start), and what the last of them yielded.
    std::int64_t frames = 0;
    std::int64_t lastFrames = 0;
    bool positioned = false;
    std::int64_t position = 0; // granule of the last positioned page
    std::int64_t decoded = 0;  // frames decoded up to that page's end
    // Frames decoded up to the end of the first audio packet that starts
    // after the header pages; -1 before it.
    std::int64_t lead = -1;
    // libvorbis forgets its position at the link's start and at every packet
    // that is no audio (an encoder that repeats its headers inside the
    // stream): the next position it is given is then taken as a stream's
    // first, and what it counted since beyond that position is trimmed from
    // that page's last packet. It counts from the audio packet after the
    // one that came first, as at a stream's start; -1 before that one.
    bool unplaced = true;
    std::int64_t sinceUnplaced = -1;

    void complete(long packetBlock) {
        lastAudio = packetBlock != kEmpty;
        if (packetBlock == kEmpty) {
            // No audio: it leaves the lapping alone, not the position.
            unplaced = true;
            sinceUnplaced = -1;
            return;
        }
        // The first packet only primes the lapping and yields nothing.
        // After a gap the next one laps on with the last one decoded.
        lastFrames = block >= 0 ? block / 4 + packetBlock / 4 : 0;
        frames += lastFrames;
        block = packetBlock;
        if (unplaced)
            sinceUnplaced = sinceUnplaced < 0 ? 0 : sinceUnplaced + lastFrames;
    }
    // Frames decoded to the end of the link as it stands.
    std::int64_t total() const { return decoded + (!ended ? frames : 0); }
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

// Follows the packets across one page of the link as libogg hands them
// out: each lacing value below 255 ends a packet. Only the first bytes of a
// packet are looked at, so a packet of any size costs nothing to follow.
// `afterHeaders` says the page starts after the header pages. False for a
// packet too large to be real.
bool followPackets(LinkScan& scan, const ogg_page& page, vorbis_info& info, bool afterHeaders) {
    const int segments = page.header[26];
    const unsigned char* lacing = page.header + 27;
    // A page that continues no packet still continues one left unfinished;
    // the end of a packet whose start was lost is dropped.
    bool inPacket = scan.running != kNone;
    long block = scan.running;
    bool first = scan.runningFirst;
    scan.dropping = ogg_page_continued(&page) && !inPacket;
    if (!inPacket)
        scan.runningBytes = 0;
    scan.lastAudio = false;
    long at = 0;
    for (int i = 0; i < segments; ++i) {
        if (!inPacket && !scan.dropping) {
            inPacket = true;
            block = blockAt(info, page.body + at, lacing[i]);
            first = afterHeaders && scan.lead < 0 && block != kEmpty;
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
        } else {
            scan.complete(block);
            if (first)
                scan.lead = (scan.positioned ? scan.decoded : 0) + scan.frames;
        }
        inPacket = false;
    }
    scan.running = inPacket && !scan.dropping ? block : kNone;
    scan.runningFirst = inPacket && first;
    return true;
}

} // namespace

OggPageIndex::OggPageIndex(const OggFileView& view, OggVorbis_File& file, const QString& path) {
    const auto damaged = [&path] {
        throw Error(QStringLiteral("Cannot open %1: the audio data is damaged").arg(path));
    };
    const int links = file.links;
    links_.resize(static_cast<size_t>(links));
    // Where vorbisfile's own numbering starts each link: it adds up the
    // lengths it measured from the links' positions.
    std::vector<std::int64_t> told(static_cast<size_t>(links));
    const auto bounded = [](std::int64_t value) {
        return std::clamp(value, -kMaxPosition, kMaxPosition);
    };
    for (int i = 0; i < links; ++i) {
        Link& link = links_[static_cast<size_t>(i)];
        link.begin = file.offsets[i];
        if (file.dataoffsets[i] < 0 || vorbis_info_blocksize(&file.vi[i], 1) <= 0)
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
    const auto closeLink = [&] {
        Link& link = links_[static_cast<size_t>(current)];
        // vorbisfile opens a file at the first page after the headers of
        // its first link, where the first packet that starts primes the
        // decoder, and decodes every later link from its first page on. The
        // first link is decoded from its first page too, and what comes out
        // up to that packet (audio some muxers put on the last header page)
        // is left out. Where that page is lost and the next one ends the
        // stream, vorbisfile gives nothing (it cannot start on such a page);
        // decoded from the first page, what that page holds is read.
        if (current == 0 && scan.lead > 0) {
            link.lead = scan.lead;
            for (Point& point : link.points) {
                point.frame -= link.lead;
                point.shift += link.lead;
            }
        }
        link.frames = std::max<std::int64_t>(scan.total() - link.lead, 0);
        if (current + 1 < links)
            links_[static_cast<size_t>(current) + 1].startFrame = link.startFrame + link.frames;
    };
    for (;;) {
        const long found = ogg_sync_pageseek(sync.get(), &page);
        if (found < 0) {
            // Bytes that are no page, or a page that fails its checksum:
            // libogg passes over them.
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
        // Other streams hold none of our audio.
        if (ogg_page_serialno(&page) != file.serialnos[current])
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
        // Pages missing in between (lost, or failing their checksum) take
        // the packets on them with them; decoding laps on from the last
        // packet before the gap to the first whole one after it, as
        // vorbisfile does.
        if (scan.started && sequence != scan.sequence + 1) {
            scan.running = kNone;
            scan.dropping = false;
            scan.gap = true;
        }
        scan.started = true;
        scan.sequence = sequence;
        scan.granule = granule;
        // Pages of the stream may follow a page that ends it: vorbisfile
        // decodes them, each end trimming its last packet.
        const bool final = ogg_page_eos(&page) != 0;
        scan.ended = final;
        if (!followPackets(scan, page, file.vi[current],
                           current == 0 && start >= file.dataoffsets[0]))
            damaged();
        // A position reaches libvorbis with the audio packet it ends.
        if (granule == -1 || !scan.lastAudio)
            continue;
        // Positions going back across a gap: audio from elsewhere in the
        // stream, copied in.
        if (scan.gap && scan.positioned && granule <= scan.position)
            damaged();
        // libvorbis trims the last packet of the page that gives it its
        // position (at the link's start, or after a packet that is no audio)
        // when the page claims fewer frames than it counted (audio trimmed at
        // the start, or the end of a stream of one page), and the last packet
        // of a page that ends the stream when that page ends short. Everywhere
        // else it believes the packets.
        const auto trim = [&](std::int64_t counted, std::int64_t claimed) {
            return std::clamp<std::int64_t>(counted - claimed, 0, scan.lastFrames);
        };
        const std::int64_t before = scan.positioned ? scan.decoded : 0;
        std::int64_t decoded = before + scan.frames;
        if (scan.unplaced && scan.sinceUnplaced >= 0) {
            decoded -= trim(scan.sinceUnplaced, granule);
            scan.unplaced = false;
        } else if (final && !scan.unplaced) {
            decoded -= trim(scan.frames, granule - scan.position);
        }
        Link& link = links_[c];
        // vorbisfile cannot start decoding on a page that ends the stream:
        // it drops that page's packets and misplaces what follows.
        if (!final && (link.points.empty() || decoded > link.points.back().frame)) {
            // No real file comes near this many pages; the index stays small.
            if (++points > kMaxPoints)
                damaged();
            const std::int64_t shift =
                std::max<std::int64_t>(granule - bounded(file.pcmlengths[2 * current]), 0) +
                told[c] - (link.startFrame + decoded);
            link.points.push_back({start, decoded, shift});
        }
        scan.positioned = true;
        scan.position = granule;
        scan.decoded = decoded;
        scan.frames = 0;
        scan.gap = false;
    }
    if (links > 0)
        closeLink();
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
    // starts before the link's first frame, always early enough.
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
    if (at - kSeekCandidates < 1)
        starts.push_back({l.begin, l.startFrame - l.lead, 0, true});
    return starts;
}
