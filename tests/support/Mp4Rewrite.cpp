#include "tests/support/Mp4Rewrite.h"

#include <QFile>
#include <QtEndian>

#include <stdexcept>

namespace {

// The boxes on the way to a track's chunk offsets.
bool isContainer(const QByteArray& type) {
    return type == "moov" || type == "trak" || type == "mdia" || type == "minf" || type == "stbl";
}

QByteArray be32(quint32 value) {
    QByteArray bytes(4, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

QByteArray be64(quint64 value) {
    QByteArray bytes(8, '\0');
    qToBigEndian(value, bytes.data());
    return bytes;
}

// The boxes of `data` again, each stco made a co64 with `shift` added.
QByteArray rewrite(const QByteArray& data, qint64 shift) {
    QByteArray out;
    for (qsizetype at = 0; at + 8 <= data.size();) {
        const quint32 size = qFromBigEndian<quint32>(data.constData() + at);
        const QByteArray type = data.mid(at + 4, 4);
        if (size < 8 || at + size > data.size())
            throw std::runtime_error("an MP4 box runs past its parent");
        const QByteArray body = data.mid(at + 8, size - 8);
        if (isContainer(type)) {
            const QByteArray inner = rewrite(body, shift);
            out += be32(static_cast<quint32>(inner.size() + 8)) + type + inner;
        } else if (type == "stco") {
            const quint32 count = qFromBigEndian<quint32>(body.constData() + 4);
            QByteArray table = body.left(8);
            for (quint32 i = 0; i < count; ++i)
                table += be64(qFromBigEndian<quint32>(body.constData() + 8 + 4 * i) +
                              static_cast<quint64>(shift));
            out += be32(static_cast<quint32>(table.size() + 8)) + QByteArray("co64") + table;
        } else {
            out += data.mid(at, size);
        }
        at += size;
    }
    return out;
}

} // namespace

void Mp4Rewrite::WideOffsets(const QString& path, qint64 gap) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw std::runtime_error("cannot read the MP4 file");
    const QByteArray data = file.readAll();
    file.close();
    const qsizetype media = data.indexOf("mdat") - 4;
    const qsizetype movie = data.lastIndexOf("moov") - 4;
    if (media < 0 || movie < media)
        throw std::runtime_error("not an MP4 file with its movie box last");
    const qint64 shift = 16 + gap;
    const QByteArray free = be32(1) + QByteArray("free") + be64(static_cast<quint64>(shift));
    const QByteArray tail = data.mid(media, movie - media) + rewrite(data.mid(movie), shift);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) ||
        file.write(data.left(media) + free) != media + free.size() || !file.seek(media + shift) ||
        file.write(tail) != tail.size())
        throw std::runtime_error("cannot write the MP4 file");
}
