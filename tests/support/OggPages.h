#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

// An Ogg file taken apart into its pages for byte surgery in tests: pages can
// be changed, copied or dropped, and the file written back with every page's
// checksum made valid again, so only the intended damage remains.
struct OggPages {
    std::vector<QByteArray> pages;
    QByteArray trailer; // bytes after the last whole page

    explicit OggPages(const QString& path);
    void write(const QString& path) const;

    // The first page after the three Vorbis headers (granule position 0).
    int firstAudioPage() const;

    static std::int64_t granule(const QByteArray& page);
    static void setGranule(QByteArray& page, std::int64_t granule);
    // Whether a page starts with a packet of its own that runs on past its
    // first 255 bytes.
    static bool startsWithLongPacket(const QByteArray& page);
    // Splits page `index`, which must start with a long packet, after that
    // packet's first 255 bytes, so the packet runs across two pages as other
    // muxers than libogg write it; the pages after it are numbered on.
    void splitFirstPacket(int index);
    // Joins pages [first, last] into one, with the last position among them;
    // the pages after it are numbered on.
    void join(int first, int last);
    // Rate and channel count in the identification header on the first page.
    void setFormat(std::uint32_t rate, std::uint8_t channels);
};
