#include "engine/audio/AudioDecoder.h"

#include "engine/audio/LibavDecoder.h"
#include "engine/audio/LibavHandles.h"
#include "engine/audio/VorbisDecoder.h"
#include "platform/Error.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>
#include <sys/stat.h>

bool AudioDecoder::IsOggVorbis(const QString& path) {
    // Only the first page is looked at.
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

long long AudioDecoder::AnnouncedMs(const QString& path) {
    if (!QFileInfo(path).isFile())
        return -1;
    AVFormatContext* opened = nullptr;
    if (LibavOpenLocal(&opened, path.toUtf8().constData()) < 0)
        return -1;
    const LibavFormat format(opened);
    if (avformat_find_stream_info(format.get(), nullptr) < 0)
        return -1;
    const int stream = av_find_best_stream(format.get(), AVMEDIA_TYPE_AUDIO, -1, -1, nullptr, 0);
    if (stream < 0)
        return -1;
    const AVStream* audio = format->streams[stream];
    if (audio->duration > 0)
        return av_rescale_q(audio->duration, audio->time_base, AVRational{1, 1000});
    return format->duration > 0 ? format->duration / (AV_TIME_BASE / 1000) : -1;
}

std::unique_ptr<AudioDecoder> AudioDecoder::Open(const QString& path) {
    // A FIFO or a device would block the open, or never end; only regular
    // files (or links to them) are audio files here.
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) == 0 && !S_ISREG(status.st_mode) &&
        !S_ISDIR(status.st_mode))
        throw Error(QStringLiteral("Cannot open %1: not a regular file").arg(path));
    const QFileInfo info(path);
    // Both decoders say so in the same words; a file that cannot be read at
    // all stays with vorbisfile, whose messages callers already know.
    if (!info.exists() || info.isDir() || IsOggVorbis(path) || !info.isReadable())
        return std::make_unique<VorbisDecoder>(path);
    return std::make_unique<LibavDecoder>(path);
}
