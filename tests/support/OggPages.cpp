#include "tests/support/OggPages.h"

#include <QFile>

#include <ogg/ogg.h>

#include <stdexcept>

namespace {

int headerLength(const QByteArray& bytes, qsizetype at) {
    return 27 + static_cast<unsigned char>(bytes[at + 26]);
}

int pageLength(const QByteArray& bytes, qsizetype at) {
    int length = headerLength(bytes, at);
    for (int i = 0; i < static_cast<unsigned char>(bytes[at + 26]); ++i)
        length += static_cast<unsigned char>(bytes[at + 27 + i]);
    return length;
}

std::uint32_t sequence(const QByteArray& page) {
    std::uint32_t number = 0;
    for (int b = 3; b >= 0; --b)
        number = (number << 8) | static_cast<unsigned char>(page[18 + b]);
    return number;
}

void setSequence(QByteArray& page, std::uint32_t number) {
    for (int b = 0; b < 4; ++b)
        page[18 + b] = static_cast<char>((number >> (8 * b)) & 0xff);
}

void reseal(QByteArray& page) {
    ogg_page view;
    view.header = reinterpret_cast<unsigned char*>(page.data());
    view.header_len = headerLength(page, 0);
    view.body = view.header + view.header_len;
    view.body_len = page.size() - view.header_len;
    ogg_page_checksum_set(&view);
}

} // namespace

OggPages::OggPages(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read " + path.toStdString());
    const QByteArray bytes = file.readAll();
    qsizetype at = 0;
    while (at + 27 <= bytes.size() && bytes.mid(at, 4) == "OggS" &&
           at + headerLength(bytes, at) <= bytes.size() &&
           at + pageLength(bytes, at) <= bytes.size()) {
        pages.push_back(bytes.mid(at, pageLength(bytes, at)));
        at += pageLength(bytes, at);
    }
    trailer = bytes.mid(at);
}

void OggPages::write(const QString& path) const {
    QByteArray bytes;
    for (QByteArray page : pages) {
        reseal(page);
        bytes += page;
    }
    bytes += trailer;
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

int OggPages::firstAudioPage() const {
    for (int i = 1; i < static_cast<int>(pages.size()); ++i)
        if (granule(pages[static_cast<size_t>(i)]) > 0)
            return i;
    throw std::runtime_error("no audio page");
}

std::int64_t OggPages::granule(const QByteArray& page) {
    std::uint64_t value = 0;
    for (int i = 7; i >= 0; --i)
        value = (value << 8) | static_cast<unsigned char>(page[6 + i]);
    return static_cast<std::int64_t>(value);
}

void OggPages::setGranule(QByteArray& page, std::int64_t granule) {
    const auto value = static_cast<std::uint64_t>(granule);
    for (int i = 0; i < 8; ++i)
        page[6 + i] = static_cast<char>((value >> (8 * i)) & 0xff);
}

bool OggPages::startsWithLongPacket(const QByteArray& page) {
    const bool continued = (page[5] & 1) != 0;
    const int segments = static_cast<unsigned char>(page[26]);
    return !continued && segments > 1 && static_cast<unsigned char>(page[27]) == 255;
}

void OggPages::splitFirstPacket(int index) {
    const QByteArray page = pages.at(static_cast<size_t>(index));
    if (!startsWithLongPacket(page))
        throw std::runtime_error("the page does not start with a long packet");
    const int segments = static_cast<unsigned char>(page[26]);
    const int body = headerLength(page, 0);

    // The first part: one segment, no packet ends on it (granule -1).
    QByteArray first = page.left(27) + char(255) + page.mid(body, 255);
    first[26] = 1;
    setGranule(first, -1);
    // The second part: the rest, continuing the packet, with the granule.
    QByteArray second = page.left(27) + page.mid(28, segments - 1) + page.mid(body + 255);
    second[5] = static_cast<char>(page[5] | 1);
    second[26] = static_cast<char>(segments - 1);

    pages[static_cast<size_t>(index)] = first;
    pages.insert(pages.begin() + index + 1, second);
    for (size_t i = static_cast<size_t>(index) + 1; i < pages.size(); ++i)
        setSequence(pages[i], sequence(pages[i]) + 1);
}

void OggPages::join(int first, int last) {
    const auto at = [this](int i) -> QByteArray& { return pages.at(static_cast<size_t>(i)); };
    QByteArray joined = at(first).left(27);
    QByteArray body;
    for (int i = first; i <= last; ++i) {
        const int segments = static_cast<unsigned char>(at(i)[26]);
        joined += at(i).mid(27, segments);
        body += at(i).mid(headerLength(at(i), 0));
        if (granule(at(i)) != -1)
            setGranule(joined, granule(at(i)));
    }
    if (joined.size() - 27 > 255)
        throw std::runtime_error("too many segments to join");
    joined[26] = static_cast<char>(joined.size() - 27);
    at(first) = joined + body;
    pages.erase(pages.begin() + first + 1, pages.begin() + last + 1);
    const std::uint32_t number = sequence(at(first));
    for (size_t i = static_cast<size_t>(first) + 1; i < pages.size(); ++i)
        setSequence(pages[i], number + static_cast<std::uint32_t>(i - static_cast<size_t>(first)));
}

void OggPages::setFormat(std::uint32_t rate, std::uint8_t channels) {
    QByteArray& first = pages.front();
    const int body = headerLength(first, 0);
    if (first.mid(body, 7) != QByteArray("\x01vorbis", 7))
        throw std::runtime_error("no identification header");
    first[body + 11] = static_cast<char>(channels);
    for (int i = 0; i < 4; ++i)
        first[body + 12 + i] = static_cast<char>((rate >> (8 * i)) & 0xff);
}
