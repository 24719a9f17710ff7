#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// An Ogg file taken apart with libogg, independently of the code under test.
struct OggPageInfo {
    int serial = 0;
    std::uint32_t sequence = 0;
    std::int64_t granule = 0;
    bool bos = false;
    bool eos = false;
    long long packetsBefore = 0; // packets of its stream completed on earlier pages
    QByteArray bytes;
};

struct OggPacketInfo {
    int serial = 0;
    long long number = 0; // index within its stream
    std::int64_t granule = 0;
    QByteArray bytes;
};

struct OggScan {
    std::vector<OggPageInfo> pages;
    std::vector<OggPacketInfo> packets;
    long long strayBytes = 0; // bytes outside any page with a valid checksum
};

OggScan scanOgg(const QString& path);

// The comments of the file's first link, read with libvorbisfile.
QStringList vorbisComments(const QString& path);

// Damages the comment packet of the file's first stream in place: the 32-bit
// number at `field` is overwritten and the page checksum made valid again, so
// only the comment block itself is wrong.
enum class CommentField { VendorLength, CommentCount, FirstCommentLength };
void patchCommentHeader(const QString& path, CommentField field, std::uint32_t value);

// The first page of an Ogg file's bytes, and a page's checksum made valid
// again after its bytes were changed.
QByteArray firstPage(const QByteArray& file);
void setPageChecksum(QByteArray& page);

QByteArray readBytes(const QString& path);
void writeBytes(const QString& path, const QByteArray& bytes);
