#include "engine/audio/AudioDecoder.h"

#include "engine/audio/LibavDecoder.h"
#include "engine/audio/VorbisDecoder.h"
#include "platform/Error.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace {

// Whether the file is an Ogg stream whose first packet is a Vorbis
// identification header. Only the first page is looked at: an Ogg file of
// another codec (Opus, FLAC) is libavformat's.
bool isOggVorbis(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    // Page header (27 bytes), segment table (up to 255), then the packet.
    const QByteArray head = file.read(27 + 255 + 7);
    if (head.size() < 27 || std::memcmp(head.constData(), "OggS", 4) != 0)
        return false;
    const int segments = static_cast<unsigned char>(head[26]);
    const int packet = 27 + segments;
    return head.size() >= packet + 7 &&
           std::memcmp(head.constData() + packet, "\x01vorbis", 7) == 0;
}

} // namespace

std::unique_ptr<AudioDecoder> AudioDecoder::Open(const QString& path) {
    const QFileInfo info(path);
    // Both decoders say so in the same words; a file that cannot be read at
    // all stays with vorbisfile, whose messages callers already know.
    if (!info.exists() || info.isDir() || isOggVorbis(path) || !info.isReadable())
        return std::make_unique<VorbisDecoder>(path);
    return std::make_unique<LibavDecoder>(path);
}
