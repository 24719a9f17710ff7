#include "engine/audio/OpusStreamCutter.h"

#include "engine/audio/OggHandle.h"
#include "engine/audio/OutputFile.h"
#include "platform/Error.h"

#include <QFile>
#include <QRandomGenerator>

#include <ogg/ogg.h>
#include <opus.h>

#include <algorithm>
#include <cstring>
#include <optional>

namespace {

using SyncState = OggHandle<ogg_sync_state, ogg_sync_init, ogg_sync_clear>;
using StreamState = OggHandle<ogg_stream_state, ogg_stream_init, ogg_stream_clear>;

constexpr long ChunkSize = 65536;
constexpr int PreSkipAt = 10; // in OpusHead, 16 bits little-endian

bool startsWith(const unsigned char* data, long size, const char* magic) {
    const auto length = static_cast<long>(std::strlen(magic));
    return size >= length && std::memcmp(data, magic, static_cast<std::size_t>(length)) == 0;
}

void writePages(OutputFile& out, ogg_stream_state& stream, bool flush) {
    ogg_page page;
    while ((flush ? ogg_stream_flush(&stream, &page) : ogg_stream_pageout(&stream, &page)) != 0) {
        out.write(page.header, static_cast<std::size_t>(page.header_len));
        out.write(page.body, static_cast<std::size_t>(page.body_len));
    }
}

} // namespace

bool OpusStreamCutter::IsOpus(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    const QByteArray start = file.read(36);
    return start.startsWith("OggS") && start.mid(28, 8) == "OpusHead";
}

OpusStreamCutter::OpusStreamCutter(const QString& source) : source_(source) {
    read(source);
}

void OpusStreamCutter::read(const QString& source) {
    QFile file(source);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("Cannot open %1: %2").arg(source, file.errorString()));
    SyncState sync;
    StreamState stream(0);
    // Any 32-bit value, negative ones too: half of all streams have one.
    std::optional<int> serial;
    long packetNo = 0;
    std::int64_t granule = 0; // of the frames in the packets read so far
    std::int64_t lastPageGranule = -1;
    bool ended = false;
    std::int64_t offset = 0; // of the next page in the file
    // The packet not yet complete: the page it began on, and how many
    // packets began on that page before it.
    std::int64_t pendingPage = -1;
    int pendingOnPage = 0;
    const auto note = [this](const char* why) {
        if (problem_.isEmpty())
            problem_ = QString::fromLatin1(why);
    };
    for (;;) {
        ogg_page page;
        const long result = ogg_sync_pageseek(sync.get(), &page);
        if (result < 0) {
            offset -= result;
            if (serial && !ended)
                note("damaged source");
            continue;
        }
        if (result == 0) {
            char* buffer = ogg_sync_buffer(sync.get(), ChunkSize);
            const qint64 got = buffer ? file.read(buffer, ChunkSize) : -1;
            if (got < 0)
                throw Error(QStringLiteral("Cannot read %1: %2").arg(source, file.errorString()));
            if (got == 0)
                break;
            ogg_sync_wrote(sync.get(), static_cast<long>(got));
            continue;
        }
        const std::int64_t at = offset;
        offset += result;
        if (!serial) {
            serial = ogg_page_serialno(&page);
            serial_ = *serial;
            ogg_stream_reset_serialno(stream.get(), *serial);
        } else if (ogg_page_serialno(&page) != *serial) {
            // Another stream beside or after this one: not a plain Opus file.
            note("chained source");
            continue;
        }
        if (ended)
            continue;
        if (ogg_stream_pagein(stream.get(), &page) != 0)
            note("damaged source");
        const bool continued = ogg_page_continued(&page) != 0;
        int beganHere = 0;
        bool firstOut = true;
        ogg_packet packet;
        int out = 0;
        while ((out = ogg_stream_packetout(stream.get(), &packet)) != 0) {
            if (out < 0) {
                note("damaged source");
                continue;
            }
            std::int64_t beganOn = at;
            int onPage = 0;
            if (firstOut && continued && pendingPage >= 0) {
                beganOn = pendingPage;
                onPage = pendingOnPage;
            } else {
                onPage = beganHere++;
            }
            firstOut = false;
            if (packetNo == 0) {
                if (!startsWith(packet.packet, packet.bytes, "OpusHead") || packet.bytes < 19)
                    throw Error(
                        QStringLiteral("Cannot copy from %1: it is not Ogg Opus").arg(source));
                head_ = QByteArray(reinterpret_cast<const char*>(packet.packet),
                                   static_cast<qsizetype>(packet.bytes));
                preSkip_ = packet.packet[PreSkipAt] | (packet.packet[PreSkipAt + 1] << 8);
            } else if (packetNo > 1) {
                const int frames = opus_packet_get_nb_samples(
                    packet.packet, static_cast<opus_int32>(packet.bytes), 48000);
                if (frames <= 0) {
                    note("damaged source");
                    continue;
                }
                // Packets come out in the order they begin, so the first
                // one begun on a page is the first seen from it.
                if (pages_.empty() || pages_.back().offset != beganOn)
                    pages_.push_back({beganOn, granule, onPage});
                granule += frames;
            }
            ++packetNo;
        }
        // A packet left incomplete at the page's end goes on to the next.
        const int segments = page.header[26];
        if (segments > 0 && page.header[27 + segments - 1] == 255 && !(continued && firstOut)) {
            pendingPage = at;
            pendingOnPage = beganHere;
        }
        const std::int64_t position = ogg_page_granulepos(&page);
        if (position >= 0 && packetNo > 2) {
            lastPageGranule = position;
            // Only the last page may stop short of its packets (the end
            // trimmed); any other difference means positions we cannot keep.
            if (position != granule && !ogg_page_eos(&page))
                note("positions differ from the audio");
        }
        if (ogg_page_eos(&page))
            ended = true;
    }
    if (head_.isEmpty())
        throw Error(QStringLiteral("Cannot copy from %1: it is not Ogg Opus").arg(source));
    if (lastPageGranule > granule)
        note("positions differ from the audio");
    total_ = std::max<std::int64_t>(0, std::min(lastPageGranule, granule) - preSkip_);
}

QString OpusStreamCutter::obstacle(std::int64_t begin, std::int64_t end) const {
    if (!problem_.isEmpty())
        return problem_;
    if (begin < 0 || end <= begin || end > total_ || pages_.empty())
        return QStringLiteral("empty piece");
    return {};
}

std::int64_t OpusStreamCutter::write(std::int64_t begin, std::int64_t end, const QString& output,
                                     const Progress& progress) const {
    const QString why = obstacle(begin, end);
    if (!why.isEmpty())
        throw Error(QStringLiteral("Cannot copy from %1: %2").arg(source_, why));
    const std::int64_t from = begin + preSkip_;
    const std::int64_t to = end + preSkip_;
    const std::int64_t leadFrom = std::max<std::int64_t>(0, from - PreRoll);
    // The last page whose first packet starts at or before the lead: the
    // packet holding the lead's first frame begins on it.
    const auto after =
        std::upper_bound(pages_.begin(), pages_.end(), leadFrom,
                         [](std::int64_t value, const Page& page) { return value < page.start; });
    const Page& page = after == pages_.begin() ? pages_.front() : *(after - 1);
    const auto changed = [this] {
        return Error(QStringLiteral("Cannot read %1: the file has changed since it was opened")
                         .arg(source_));
    };

    // The source's pages from that one on, taken apart again; the packets
    // begun there before the first audio packet are passed over.
    QFile file(source_);
    if (!file.open(QIODevice::ReadOnly) || !file.seek(page.offset))
        throw Error(QStringLiteral("Cannot open %1: %2").arg(source_, file.errorString()));
    SyncState sync;
    StreamState in(serial_);
    int passOver = page.passOver;
    ogg_packet data;
    int frames = 0;
    // The pages were read whole and in sequence when the source was opened:
    // bytes that are no page, or a page missing, mean the file has changed.
    // Only the first page, taken up mid-stream, follows a gap.
    bool reading = false;
    const auto nextPacket = [&] {
        for (;;) {
            const int result = ogg_stream_packetout(in.get(), &data);
            if (result < 0 && reading)
                throw changed();
            if (result > 0) {
                reading = true;
                if (passOver-- <= 0)
                    break;
            }
            if (result != 0)
                continue;
            ogg_page got;
            int found = 0;
            while ((found = ogg_sync_pageout(sync.get(), &got)) != 1) {
                if (found < 0)
                    throw changed();
                char* buffer = ogg_sync_buffer(sync.get(), ChunkSize);
                const qint64 read = buffer ? file.read(buffer, ChunkSize) : -1;
                if (read <= 0)
                    throw changed();
                ogg_sync_wrote(sync.get(), static_cast<long>(read));
            }
            if (ogg_page_serialno(&got) == serial_)
                ogg_stream_pagein(in.get(), &got);
        }
        frames =
            opus_packet_get_nb_samples(data.packet, static_cast<opus_int32>(data.bytes), 48000);
        if (frames <= 0)
            throw changed();
    };

    // Packets are passed over up to the one holding the lead's first frame.
    std::int64_t start = page.start; // of the packet in hand
    nextPacket();
    while (start + frames <= leadFrom) {
        start += frames;
        nextPacket();
    }
    const std::int64_t origin = start;
    const std::int64_t skip = from - origin;

    OutputFile out(output);
    StreamState stream(static_cast<int>(QRandomGenerator::global()->generate() & 0x7fffffff));
    QByteArray head = head_;
    head[PreSkipAt] = static_cast<char>(skip & 0xff);
    head[PreSkipAt + 1] = static_cast<char>((skip >> 8) & 0xff);
    ogg_packet packet{};
    packet.packet = reinterpret_cast<unsigned char*>(head.data());
    packet.bytes = head.size();
    packet.b_o_s = 1;
    ogg_stream_packetin(stream.get(), &packet);
    writePages(out, *stream.get(), true);
    // The vendor, no comments, and zero padding: room for the tags.
    static const char vendor[] = "OpusTags\x08\0\0\0Tarnwell\0\0\0\0";
    QByteArray tags(CommentRoom, '\0');
    std::memcpy(tags.data(), vendor, sizeof vendor - 1);
    packet = ogg_packet{};
    packet.packet = reinterpret_cast<unsigned char*>(tags.data());
    packet.bytes = tags.size();
    packet.packetno = 1;
    ogg_stream_packetin(stream.get(), &packet);
    writePages(out, *stream.get(), true);

    std::int64_t granule = 0;
    for (ogg_int64_t n = 2;; ++n) {
        granule = start + frames - origin;
        // The packet holding the piece's last frame is its last.
        const bool last = start + frames >= to;
        const std::int64_t done = std::clamp<std::int64_t>(granule - skip, 0, end - begin);
        const bool stop = !last && progress && n % 50 == 0 && !progress(done);
        packet = ogg_packet{};
        packet.packet = data.packet;
        packet.bytes = data.bytes;
        packet.packetno = n;
        packet.e_o_s = last || stop;
        // The last page ends where the piece ends; the decoder drops the rest.
        if (last)
            granule = to - origin;
        packet.granulepos = granule;
        ogg_stream_packetin(stream.get(), &packet);
        writePages(out, *stream.get(), false);
        if (last || stop)
            break;
        start += frames;
        nextPacket();
    }
    writePages(out, *stream.get(), true);
    out.close();
    return std::max<std::int64_t>(0, granule - skip);
}
