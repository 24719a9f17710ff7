#include "tests/tags/OggPageReader.h"

#include <QFile>

#include <ogg/ogg.h>
#include <vorbis/vorbisfile.h>

#include <cstring>
#include <map>
#include <memory>
#include <stdexcept>

namespace {

struct Streams {
    std::map<int, ogg_stream_state> bySerial;
    std::map<int, long long> counts;
    ~Streams() {
        for (auto& [serial, stream] : bySerial)
            ogg_stream_clear(&stream);
    }
};

} // namespace

QByteArray readBytes(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    return file.readAll();
}

void writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

QByteArray firstPage(const QByteArray& file) {
    if (file.size() < 27 || !file.startsWith("OggS"))
        throw std::runtime_error("the bytes do not start with an Ogg page");
    const auto* data = reinterpret_cast<const unsigned char*>(file.constData());
    qsizetype size = 27 + data[26];
    for (int i = 0; i < data[26]; ++i)
        size += data[27 + i];
    return file.left(size);
}

void setPageChecksum(QByteArray& page) {
    auto* data = reinterpret_cast<unsigned char*>(page.data());
    ogg_page header;
    header.header = data;
    header.header_len = 27 + data[26];
    header.body = data + header.header_len;
    header.body_len = page.size() - header.header_len;
    ogg_page_checksum_set(&header);
}

OggScan scanOgg(const QString& path) {
    const QByteArray bytes = readBytes(path);
    OggScan scan;
    ogg_sync_state sync;
    ogg_sync_init(&sync);
    char* buffer = ogg_sync_buffer(&sync, bytes.size());
    std::memcpy(buffer, bytes.constData(), static_cast<size_t>(bytes.size()));
    ogg_sync_wrote(&sync, bytes.size());
    Streams streams;
    ogg_page page;
    for (;;) {
        const long result = ogg_sync_pageseek(&sync, &page);
        if (result == 0)
            break;
        if (result < 0) {
            scan.strayBytes += -result;
            continue;
        }
        OggPageInfo info;
        info.serial = ogg_page_serialno(&page);
        info.sequence = static_cast<std::uint32_t>(ogg_page_pageno(&page));
        info.granule = ogg_page_granulepos(&page);
        info.bos = ogg_page_bos(&page) != 0;
        info.eos = ogg_page_eos(&page) != 0;
        info.bytes = QByteArray(reinterpret_cast<const char*>(page.header), page.header_len) +
                     QByteArray(reinterpret_cast<const char*>(page.body), page.body_len);
        info.packetsBefore = streams.counts[info.serial];
        scan.pages.push_back(info);

        auto [it, added] = streams.bySerial.try_emplace(info.serial);
        if (added)
            ogg_stream_init(&it->second, info.serial);
        ogg_stream_pagein(&it->second, &page);
        ogg_packet packet;
        while (ogg_stream_packetout(&it->second, &packet) == 1) {
            OggPacketInfo p;
            p.serial = info.serial;
            p.number = streams.counts[info.serial]++;
            p.granule = packet.granulepos;
            p.bytes = QByteArray(reinterpret_cast<const char*>(packet.packet), packet.bytes);
            scan.packets.push_back(p);
        }
    }
    scan.strayBytes += sync.fill - sync.returned;
    ogg_sync_clear(&sync);
    return scan;
}

QStringList vorbisComments(const QString& path) {
    OggVorbis_File file;
    if (ov_fopen(QFile::encodeName(path).constData(), &file) != 0)
        throw std::runtime_error("libvorbisfile cannot open " + path.toStdString());
    QStringList comments;
    const vorbis_comment* block = ov_comment(&file, 0);
    for (int i = 0; block != nullptr && i < block->comments; ++i)
        comments << QString::fromUtf8(block->user_comments[i], block->comment_lengths[i]);
    ov_clear(&file);
    return comments;
}

void patchCommentHeader(const QString& path, CommentField field, std::uint32_t value) {
    QByteArray bytes = readBytes(path);
    const qsizetype packet = bytes.indexOf(QByteArray("\x03vorbis", 7));
    const qsizetype pageStart = bytes.lastIndexOf("OggS", packet);
    if (packet < 0 || pageStart < 0)
        throw std::runtime_error("no comment packet in " + path.toStdString());
    auto* data = reinterpret_cast<unsigned char*>(bytes.data());
    const auto le32 = [&](qsizetype at) {
        return static_cast<std::uint32_t>(data[at]) |
               (static_cast<std::uint32_t>(data[at + 1]) << 8) |
               (static_cast<std::uint32_t>(data[at + 2]) << 16) |
               (static_cast<std::uint32_t>(data[at + 3]) << 24);
    };
    const std::uint32_t vendorLength = le32(packet + 7);
    qsizetype at = packet + 7;
    if (field == CommentField::CommentCount)
        at = packet + 11 + vendorLength;
    else if (field == CommentField::FirstCommentLength)
        at = packet + 15 + vendorLength;
    for (int i = 0; i < 4; ++i)
        data[at + i] = static_cast<unsigned char>((value >> (8 * i)) & 0xff);

    ogg_page page;
    page.header = data + pageStart;
    page.header_len = 27 + data[pageStart + 26];
    page.body = page.header + page.header_len;
    page.body_len = 0;
    for (int i = 0; i < data[pageStart + 26]; ++i)
        page.body_len += data[pageStart + 27 + i];
    if (at + 4 > pageStart + page.header_len + page.body_len)
        throw std::runtime_error("the comment packet spans pages");
    ogg_page_checksum_set(&page);
    writeBytes(path, bytes);
}
