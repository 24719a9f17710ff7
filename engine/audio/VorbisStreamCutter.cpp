#include "engine/audio/VorbisStreamCutter.h"

#include "engine/audio/OggHandle.h"
#include "engine/audio/OutputFile.h"
#include "platform/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>

#include <ogg/ogg.h>

#include <algorithm>
#include <cstring>

namespace {

using SyncState = OggHandle<ogg_sync_state, ogg_sync_init, ogg_sync_clear>;
using StreamState = OggHandle<ogg_stream_state, ogg_stream_init, ogg_stream_clear>;
using Link = VorbisPacketIndex::Link;
using Packet = VorbisPacketIndex::Packet;

constexpr long ChunkSize = 65536;
// Packets copied between two progress reports.
constexpr std::size_t ProgressEvery = 64;
constexpr int MaxSegments = 255;

int lacingValues(const Packet& packet) {
    return packet.bytes / 255 + 1;
}

// A comment header with the vendor of `source` and no comments.
QByteArray vendorOnly(const QByteArray& source) {
    const auto byteAt = [&](qsizetype i) {
        return static_cast<quint32>(static_cast<unsigned char>(source.at(i)));
    };
    quint32 length = 0;
    if (source.size() >= 11)
        length = byteAt(7) | byteAt(8) << 8 | byteAt(9) << 16 | byteAt(10) << 24;
    if (length > static_cast<quint32>(std::max<qsizetype>(source.size() - 11, 0)))
        length = 0;
    QByteArray header("\x03vorbis", 7);
    for (int i = 0; i < 4; ++i)
        header.append(static_cast<char>((length >> (8 * i)) & 0xff));
    header.append(source.mid(11, static_cast<qsizetype>(length)));
    header.append(4, '\0'); // no comments
    header.append('\x01');  // framing bit
    return header;
}

// Writes one logical stream of the output.
class SpanWriter {
public:
    SpanWriter(OutputFile& out, int serial) : out_(out), stream_(serial) {}

    void header(const QByteArray& bytes, bool first) {
        put(reinterpret_cast<const unsigned char*>(bytes.constData()), bytes.size(), 0, first,
            false);
        flush();
    }

    void audio(const ogg_packet& source, std::int64_t granule, bool last, bool endsPage) {
        put(source.packet, source.bytes, granule, false, last);
        if (endsPage || last)
            flush();
        else
            while (ogg_stream_pageout(stream_.get(), &page_) != 0)
                writePage();
    }

private:
    void put(const unsigned char* bytes, qsizetype size, std::int64_t granule, bool bos, bool eos) {
        ogg_packet packet;
        std::memset(&packet, 0, sizeof packet);
        packet.packet = const_cast<unsigned char*>(bytes);
        packet.bytes = static_cast<long>(size);
        packet.b_o_s = bos ? 1 : 0;
        packet.e_o_s = eos ? 1 : 0;
        packet.granulepos = granule;
        packet.packetno = number_++;
        if (ogg_stream_packetin(stream_.get(), &packet) != 0)
            throw Error(QStringLiteral("Cannot write %1: out of memory").arg(out_.path()));
    }

    void flush() {
        while (ogg_stream_flush(stream_.get(), &page_) != 0)
            writePage();
    }

    void writePage() {
        out_.write(page_.header, static_cast<std::size_t>(page_.header_len));
        out_.write(page_.body, static_cast<std::size_t>(page_.body_len));
    }

    OutputFile& out_;
    StreamState stream_;
    ogg_page page_{};
    ogg_int64_t number_ = 0;
};

// Hands out the packets of one link from a given page on.
class PacketSource {
public:
    PacketSource(QFile& file, const Link& link, const Packet& first)
        : file_(file), stream_(link.serial), skip_(first.ordinal) {
        // A fresh stream drops the tail of a packet begun on an earlier page
        // and hands out the packets that start on the first one.
        ogg_stream_reset(stream_.get());
        if (!file_.seek(first.page))
            fail(file_.errorString());
    }

    void next(ogg_packet& packet) {
        for (;;) {
            const int result = ogg_stream_packetout(stream_.get(), &packet);
            if (result < 0)
                continue; // pages lost, left out of the index too
            if (result == 1) {
                if (skip_ > 0) {
                    --skip_;
                    continue;
                }
                if (VorbisPacketIndex::IsAudio(packet))
                    return;
                continue; // left out of the index too
            }
            ogg_page page;
            nextPage(page);
            if (ogg_page_serialno(&page) != stream_.get()->serialno)
                continue;
            if (ogg_stream_pagein(stream_.get(), &page) != 0)
                fail(QStringLiteral("a page does not belong to the stream"));
        }
    }

    [[noreturn]] void fail(const QString& why) const {
        throw Error(QStringLiteral("Cannot copy from %1: %2").arg(file_.fileName(), why));
    }

private:
    void nextPage(ogg_page& page) {
        for (;;) {
            const long result = ogg_sync_pageout(sync_.get(), &page);
            if (result == 1)
                return;
            if (result < 0)
                continue; // bytes that are no page, passed over as by the index
            char* buffer = ogg_sync_buffer(sync_.get(), ChunkSize);
            const qint64 got = buffer ? file_.read(buffer, ChunkSize) : -1;
            if (got < 0)
                fail(file_.errorString());
            if (got == 0)
                fail(QStringLiteral("the file ends early"));
            ogg_sync_wrote(sync_.get(), static_cast<long>(got));
        }
    }

    QFile& file_;
    SyncState sync_;
    StreamState stream_;
    int skip_;
};

} // namespace

VorbisStreamCutter::VorbisStreamCutter(const QString& source) : index_(source) {}

QString VorbisStreamCutter::plan(std::int64_t begin, std::int64_t end,
                                 std::vector<Span>& spans) const {
    spans.clear();
    if (!index_.problem().isEmpty())
        return QStringLiteral("damaged source");
    begin = std::max<std::int64_t>(begin, 0);
    end = std::min(end, index_.totalFrames());
    if (end <= begin)
        return QStringLiteral("empty piece");

    const auto& links = index_.links();
    for (std::size_t i = 0; i < links.size(); ++i) {
        const Link& link = links[i];
        const std::int64_t lo = std::max(begin, link.start);
        const std::int64_t hi = std::min(end, link.start + link.frames());
        if (hi <= lo)
            continue;
        if (link.rate != links.front().rate || link.channels != links.front().channels)
            return QStringLiteral("chained formats differ");
        Span span{i, lo - link.start + link.begin, hi - link.start + link.begin, 0, 0};
        const auto& p = link.packets;
        // The first packet whose output reaches past the start; the one
        // before it only primes the overlap.
        const auto endsAfter = [](std::int64_t position, const Packet& packet) {
            return position < packet.granule;
        };
        const auto first = std::upper_bound(p.begin() + 1, p.end(), span.from, endsAfter);
        const auto last = std::lower_bound(
            first, p.end(), span.to,
            [](const Packet& packet, std::int64_t position) { return packet.granule < position; });
        if (p.size() < 2 || first == p.end() || last == p.end())
            return QStringLiteral("damaged source");
        span.first = static_cast<std::size_t>(first - p.begin()) - 1;
        span.last = static_cast<std::size_t>(last - p.begin());
        // Vorbis reads a short position on a stream's only audio page as an
        // end trim, so a start inside the very packet that ends the piece
        // cannot be told.
        if (span.last == span.first + 1 && span.from > p[span.first].granule)
            return QStringLiteral("shorter than one packet");
        // A packet trimmed by a page that ends the stream, with pages after
        // it, can only end a piece: its copy would play whole.
        for (std::size_t j = span.first + 1; j < span.last; ++j)
            if (p[j].granule != p[j - 1].granule + (p[j - 1].blocksize + p[j].blocksize) / 4)
                return QStringLiteral("positions differ from the audio");
        // The first audio page must end with the packet after the overlap,
        // which libogg's 255 segments per page can prevent.
        const int rest = lacingValues(p[span.first]) % MaxSegments;
        if (rest == 0 || rest + lacingValues(p[span.first + 1]) > MaxSegments)
            return QStringLiteral("oversized packets");
        spans.push_back(span);
    }
    return QString();
}

QString VorbisStreamCutter::obstacle(std::int64_t begin, std::int64_t end) const {
    std::vector<Span> spans;
    return plan(begin, end, spans);
}

std::int64_t VorbisStreamCutter::write(std::int64_t begin, std::int64_t end, const QString& output,
                                       const Progress& progress) const {
    std::vector<Span> spans;
    const QString why = plan(begin, end, spans);
    if (!why.isEmpty())
        throw Error(QStringLiteral("Cannot copy %1 into %2: %3").arg(index_.path(), output, why));
    const QFileInfo target(output);
    if (target.exists() &&
        target.canonicalFilePath() == QFileInfo(index_.path()).canonicalFilePath())
        throw Error(QStringLiteral("Cannot create %1: it is the source and would be overwritten")
                        .arg(output));

    QFile source(index_.path());
    if (!source.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot open %1: %2").arg(index_.path(), source.errorString()));
    OutputFile out(output);

    std::int64_t written = 0;
    int serial = static_cast<int>(QRandomGenerator::global()->generate());
    bool stopped = false;
    for (const Span& span : spans) {
        if (stopped)
            break;
        const Link& link = index_.links()[span.link];
        const auto& p = link.packets;
        // Each link of the output is a logical stream of its own.
        serial += 1 + static_cast<int>(QRandomGenerator::global()->bounded(0x10000));
        SpanWriter writer(out, serial);
        writer.header(link.identification, true);
        writer.header(vendorOnly(link.comments), false);
        writer.header(link.setup, false);

        PacketSource packets(source, link, p[span.first]);
        for (std::size_t j = span.first;; ++j) {
            ogg_packet packet;
            packets.next(packet);
            if (packet.bytes != p[j].bytes)
                packets.fail(QStringLiteral("the file has changed"));
            bool last = j == span.last;
            if (!last && j > span.first + 1 && (j - span.first) % ProgressEvery == 0 && progress &&
                !progress(written + p[j - 1].granule - span.from)) {
                // Stopped: this packet ends the piece where it ends.
                last = true;
                stopped = true;
            }
            const std::int64_t upTo = j == span.last ? span.to : p[j].granule;
            // The overlap packet is never the last on a page, so its position
            // is never written.
            const std::int64_t granule = j == span.first ? 0 : upTo - span.from;
            writer.audio(packet, granule, last, j == span.first + 1);
            if (last) {
                written += upTo - span.from;
                break;
            }
        }
    }
    out.close();
    if (progress)
        progress(written);
    return written;
}
