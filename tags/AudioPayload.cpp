#include "tags/AudioPayload.h"

#include "tags/OggCrc.h"

#include <QCryptographicHash>
#include <QFile>

#include <cstdint>
#include <cstring>

namespace {

// The file's bytes, mapped; empty when it cannot be read.
class MappedFile {
public:
    explicit MappedFile(const QString& path) : file_(path) {
        if (file_.open(QIODevice::ReadOnly) && file_.size() > 0)
            data_ = file_.map(0, file_.size());
        if (data_ != nullptr)
            size_ = file_.size();
    }
    ~MappedFile() {
        if (data_ != nullptr)
            file_.unmap(data_);
    }
    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;

    const unsigned char* data() const { return data_; }
    qint64 size() const { return size_; }

private:
    QFile file_;
    uchar* data_ = nullptr;
    qint64 size_ = 0;
};

std::uint64_t littleEndian(const unsigned char* p, int bytes) {
    std::uint64_t value = 0;
    for (int i = bytes - 1; i >= 0; --i)
        value = value << 8 | p[i];
    return value;
}

} // namespace

AudioPayload AudioPayload::OfFlac(const QString& path) {
    AudioPayload payload;
    const MappedFile file(path);
    const unsigned char* data = file.data();
    const qint64 size = file.size();
    if (size < 4 || std::memcmp(data, "fLaC", 4) != 0)
        return payload;
    qint64 at = 4;
    for (bool last = false; !last;) {
        if (at + 4 > size)
            return payload;
        last = (data[at] & 0x80) != 0;
        at += 4 + ((qint64{data[at + 1]} << 16) | (qint64{data[at + 2]} << 8) | data[at + 3]);
    }
    // The audio starts with a frame's sync code, or the blocks were not
    // where their lengths say.
    if (at + 2 > size || data[at] != 0xFF || (data[at + 1] & 0xFE) != 0xF8)
        return payload;
    payload.bytes_ = size - at;
    payload.digest_ = QCryptographicHash::hash(
        QByteArrayView(reinterpret_cast<const char*>(data + at), payload.bytes_),
        QCryptographicHash::Sha1);
    payload.valid_ = true;
    return payload;
}

AudioPayload AudioPayload::OfOgg(const QString& path, int headerPackets) {
    AudioPayload payload;
    const MappedFile file(path);
    const unsigned char* data = file.data();
    const qint64 size = file.size();
    QCryptographicHash digest(QCryptographicHash::Sha1);
    int headersSeen = 0;
    bool ended = false;
    std::uint32_t serial = 0;
    qint64 at = 0;
    while (at < size) {
        // One logical stream, page after page to the end, each intact; the
        // last one marks the end of the stream.
        if (ended || at + 27 > size || std::memcmp(data + at, "OggS", 4) != 0 || data[at + 4] != 0)
            return payload;
        const auto pageSerial = static_cast<std::uint32_t>(littleEndian(data + at + 14, 4));
        if (at == 0)
            serial = pageSerial;
        if (pageSerial != serial)
            return payload;
        const int segments = data[at + 26];
        if (at + 27 + segments > size)
            return payload;
        qint64 body = at + 27 + segments;
        qint64 end = body;
        for (int s = 0; s < segments; ++s)
            end += data[at + 27 + s];
        if (end > size)
            return payload;
        // The checksum covers the page with its own field as zeros.
        const unsigned char zeros[4] = {};
        std::uint32_t crc = OggCrc::Update(0, data + at, 22);
        crc = OggCrc::Update(crc, zeros, 4);
        crc = OggCrc::Update(crc, data + at + 26, end - at - 26);
        if (crc != littleEndian(data + at + 22, 4))
            return payload;

        for (int s = 0; s < segments; ++s) {
            const int lacing = data[at + 27 + s];
            if (headersSeen < headerPackets) {
                if (lacing < 255)
                    ++headersSeen;
            } else {
                digest.addData(QByteArrayView(reinterpret_cast<const char*>(data + body), lacing));
                payload.bytes_ += lacing;
                if (lacing < 255)
                    ++payload.packets_;
            }
            body += lacing;
        }
        payload.lastPosition_ = static_cast<qint64>(littleEndian(data + at + 6, 8));
        ended = (data[at + 5] & 0x04) != 0;
        at = end;
    }
    if (!ended || headersSeen < headerPackets)
        return payload;
    payload.digest_ = digest.result();
    payload.valid_ = true;
    return payload;
}
