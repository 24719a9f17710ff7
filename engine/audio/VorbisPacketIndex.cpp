#include "engine/audio/VorbisPacketIndex.h"

#include "engine/audio/OggHandle.h"
#include "platform/Error.h"

#include <QFile>

#include <vorbis/codec.h>

#include <algorithm>
#include <deque>
#include <memory>
#include <optional>

namespace {

using SyncState = OggHandle<ogg_sync_state, ogg_sync_init, ogg_sync_clear>;
using StreamState = OggHandle<ogg_stream_state, ogg_stream_init, ogg_stream_clear>;
using VorbisInfo = OggHandle<vorbis_info, vorbis_info_init, vorbis_info_clear>;
using VorbisComment = OggHandle<vorbis_comment, vorbis_comment_init, vorbis_comment_clear>;

constexpr long ChunkSize = 65536;

// What decoding packet `b` after packet `a` yields.
std::int64_t overlap(const VorbisPacketIndex::Packet& a, const VorbisPacketIndex::Packet& b) {
    return (a.blocksize + b.blocksize) / 4;
}

// One link while its pages are read: the Vorbis stream chosen among the
// streams that begin together, its headers and its packets, as vorbisfile
// decodes them from the start of the file (as oggdec does).
class LinkReader {
public:
    VorbisPacketIndex::Link link;
    QString problem;

    // vorbisfile starts the first link after its header pages, and every
    // later one at its first page.
    explicit LinkReader(bool first) : first_(first) {}

    bool hasStream() const { return stream_ != nullptr; }
    // A page that is not the start of a stream: the link's data has begun, so
    // the next start of a stream begins a new link.
    bool begunOrEnded() const { return begun_ || ended_; }

    // Takes a stream-start page as this link's Vorbis stream when it is one.
    void offer(const ogg_page& page) {
        if (stream_)
            return;
        StreamState probe(ogg_page_serialno(&page));
        ogg_packet packet;
        if (ogg_stream_pagein(probe.get(), const_cast<ogg_page*>(&page)) != 0 ||
            ogg_stream_packetout(probe.get(), &packet) != 1 ||
            vorbis_synthesis_idheader(&packet) != 1)
            return;
        link.serial = ogg_page_serialno(&page);
        stream_ = std::make_unique<StreamState>(link.serial);
    }

    void read(std::int64_t offset, ogg_page& page) {
        if (!ogg_page_bos(&page))
            begun_ = true;
        if (!stream_ || ogg_page_serialno(&page) != link.serial || !problem.isEmpty())
            return;
        const long sequence = ogg_page_pageno(&page);
        const std::int64_t granule = ogg_page_granulepos(&page);
        if (sequence_ >= 0 && sequence == sequence_ && granule == granule_) {
            problem = QStringLiteral("a page is repeated");
            return;
        }
        // Pages missing in between, or failing their checksum, take the
        // packets on them with them; libogg drops the packet they cut.
        if (sequence_ >= 0 && sequence != sequence_ + 1) {
            if (inPacket_)
                starts_.pop_back();
            inPacket_ = false;
            loose_ = true;
        }
        sequence_ = sequence;
        granule_ = granule;
        noteStarts(offset, page);
        if (ogg_stream_pagein(stream_->get(), &page) != 0) {
            problem = QStringLiteral("a page does not belong to the stream");
            return;
        }
        lastAudio_ = false;
        for (;;) {
            ogg_packet packet;
            const int result = ogg_stream_packetout(stream_->get(), &packet);
            if (result == 0)
                break;
            if (result < 0)
                continue; // the gap
            if (starts_.empty()) {
                problem = QStringLiteral("pages are missing");
                return;
            }
            const auto [pageOffset, ordinal] = starts_.front();
            starts_.pop_front();
            if (!takePacket(packet, pageOffset, ordinal, offset))
                return;
        }
        if (granule != -1 && placed_ < link.packets.size() && lastAudio_)
            place(granule, ogg_page_eos(&page) != 0);
        if (ogg_page_eos(&page))
            ended_ = true;
    }

    // The link as it stands at its end.
    void finish() {
        if (!problem.isEmpty())
            return;
        if (headers_ < 3)
            problem = QStringLiteral("the Vorbis headers are missing or cut off");
        else if (placed_ < link.packets.size())
            problem = QStringLiteral("the stream ends without a granule position");
        if (!anchored_)
            link.begin = link.end = 0;
    }

private:
    // Which packets start on this page, from its lacing values. A page
    // continuing no packet begins with the end of one whose start was lost,
    // which libogg drops.
    void noteStarts(std::int64_t offset, const ogg_page& page) {
        const int segments = page.header[26];
        bool dropping = ogg_page_continued(&page) && !inPacket_;
        int ordinal = 0;
        for (int i = 0; i < segments; ++i) {
            const bool more = page.header[27 + i] == 255;
            if (dropping) {
                dropping = more;
                continue;
            }
            if (!inPacket_)
                starts_.push_back({offset, ordinal++});
            inPacket_ = more;
        }
    }

    bool takePacket(ogg_packet& packet, std::int64_t pageOffset, int ordinal, std::int64_t page) {
        lastAudio_ = false;
        if (headers_ < 3) {
            if (vorbis_synthesis_headerin(info_.get(), comment_.get(), &packet) != 0) {
                problem = QStringLiteral("the Vorbis headers are damaged");
                return false;
            }
            QByteArray bytes(reinterpret_cast<const char*>(packet.packet),
                             static_cast<qsizetype>(packet.bytes));
            (headers_ == 0   ? link.identification
             : headers_ == 1 ? link.comments
                             : link.setup) = bytes;
            if (++headers_ == 3) {
                link.rate = static_cast<int>(info_.get()->rate);
                link.channels = info_.get()->channels;
                headersEnd_ = page;
            }
            return true;
        }
        // The decoder skips a header or empty packet inside the audio (some
        // encoders repeat the headers there) without touching the lapping;
        // a copy leaves it out. So are packets that start on the first
        // link's header pages (some muxers put audio there): decoding starts
        // after those pages.
        if (!VorbisPacketIndex::IsAudio(packet))
            return true;
        const long blocksize = vorbis_packet_blocksize(info_.get(), &packet);
        if (blocksize <= 0) {
            problem = QStringLiteral("a packet in the audio is not audio");
            return false;
        }
        lastAudio_ = true;
        if (first_ && pageOffset <= headersEnd_)
            return true;
        link.packets.push_back(
            {pageOffset, 0, static_cast<int>(blocksize), static_cast<int>(packet.bytes), ordinal});
        return true;
    }

    // Gives the packets completed since the last granule position theirs, as
    // libvorbis counts them: each what its block sizes say, the first only
    // priming, and the last one of a page that ends the stream (any such
    // page, even one with pages after it) trimmed to what the page claims.
    void place(std::int64_t granule, bool eos) {
        auto& p = link.packets;
        const std::size_t n = p.size();
        if (!anchored_) {
            // The first position counts back over the packets before it; a
            // short count there is the start trimmed off. When the first page
            // with a position also ends the stream, Vorbis trims the end
            // instead and the stream starts at zero.
            std::int64_t yielded = 0;
            for (std::size_t j = 1; j < n; ++j)
                yielded += overlap(p[j - 1], p[j]);
            const bool endTrimmed = eos && granule < yielded;
            p[0].granule = endTrimmed ? 0 : granule - yielded;
            for (std::size_t j = 1; j < n; ++j)
                p[j].granule = p[j - 1].granule + overlap(p[j - 1], p[j]);
            link.begin = std::max<std::int64_t>(0, p[0].granule);
            anchored_ = true;
        } else {
            for (std::size_t j = placed_; j < n; ++j)
                p[j].granule = p[j - 1].granule + overlap(p[j - 1], p[j]);
        }
        // Positions in the pages' numbering, which moves on from each
        // position libvorbis is given; audio lost in a gap, or an end trimmed
        // by more than its packet, moves it apart from the frames counted.
        const std::int64_t counted = p[n - 1].granule + moved_;
        if (eos && granule < counted) {
            const std::int64_t before = n >= 2 ? p[n - 2].granule : p[0].granule;
            p[n - 1].granule = std::max(granule - moved_, before);
        } else if (granule != counted && !loose_) {
            problem = QStringLiteral("granule positions do not match the audio");
        }
        moved_ = granule - p[n - 1].granule;
        // After an end, as after a gap, positions may go their own way.
        loose_ = eos;
        link.end = p[n - 1].granule;
        placed_ = n;
    }

    const bool first_;
    std::unique_ptr<StreamState> stream_;
    VorbisInfo info_;
    VorbisComment comment_;
    int headers_ = 0;
    std::int64_t headersEnd_ = -1; // the page the headers end on
    bool begun_ = false;
    bool ended_ = false;
    bool anchored_ = false;
    bool inPacket_ = false;
    bool lastAudio_ = false; // the last packet completed is audio
    bool loose_ = false;     // pages lost or an end since the last position
    long sequence_ = -1;
    std::int64_t granule_ = -1;
    std::int64_t moved_ = 0;
    std::size_t placed_ = 0;
    std::deque<std::pair<std::int64_t, int>> starts_;
};

} // namespace

VorbisPacketIndex::VorbisPacketIndex(const QString& path) : path_(path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));

    SyncState sync;
    std::optional<LinkReader> current;
    std::int64_t offset = 0; // of the next byte the sync state hands out
    const auto endLink = [&] {
        if (!current)
            return;
        current->finish();
        if (current->hasStream()) {
            if (problem_.isEmpty())
                problem_ = current->problem;
            links_.push_back(std::move(current->link));
        }
        current.reset();
    };

    for (;;) {
        ogg_page page;
        const long result = ogg_sync_pageseek(sync.get(), &page);
        if (result < 0) {
            // Bytes that are no page, or a page that fails its checksum:
            // libogg passes over them.
            offset += -result;
            continue;
        }
        if (result == 0) {
            char* buffer = ogg_sync_buffer(sync.get(), ChunkSize);
            const qint64 got = buffer ? file.read(buffer, ChunkSize) : -1;
            if (got < 0)
                throw Error(QStringLiteral("Cannot read %1: %2").arg(path, file.errorString()));
            if (got == 0)
                break;
            ogg_sync_wrote(sync.get(), static_cast<long>(got));
            continue;
        }
        const std::int64_t at = offset;
        offset += result;
        if (ogg_page_bos(&page)) {
            if (current && current->begunOrEnded())
                endLink();
            if (!current)
                current.emplace(links_.empty());
            current->offer(page);
        } else if (!current) {
            continue;
        }
        current->read(at, page);
    }
    endLink();

    if (links_.empty())
        problem_ = QStringLiteral("no Vorbis stream");
    std::int64_t start = 0;
    for (Link& link : links_) {
        link.start = start;
        start += link.frames();
    }
}

bool VorbisPacketIndex::IsAudio(const ogg_packet& packet) {
    // An audio packet's first bit is 0; the headers' first byte is odd.
    return packet.bytes > 0 && (packet.packet[0] & 1) == 0;
}

std::int64_t VorbisPacketIndex::totalFrames() const {
    return links_.empty() ? 0 : links_.back().start + links_.back().frames();
}
