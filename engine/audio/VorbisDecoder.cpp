#include "engine/audio/VorbisDecoder.h"

#include "platform/Error.h"

#include <QFile>
#include <QFileInfo>

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

QString reasonFor(int code) {
    switch (code) {
    case OV_ENOTVORBIS:
        return QStringLiteral("not an Ogg Vorbis file");
    case OV_EBADHEADER:
        return QStringLiteral("the Vorbis headers are damaged or cut off");
    case OV_EVERSION:
        return QStringLiteral("unsupported Vorbis version");
    case OV_EREAD:
        return QStringLiteral("the file could not be read");
    case OV_EBADLINK:
        return QStringLiteral("the audio data is damaged");
    case OV_EINVAL:
        return QStringLiteral("the file length cannot be determined");
    default:
        return QStringLiteral("the file cannot be decoded");
    }
}

[[noreturn]] void fail(const QString& path, const QString& reason) {
    throw Error(QStringLiteral("Cannot open %1: %2").arg(path, reason));
}

} // namespace

VorbisDecoder::VorbisDecoder(const QString& path) : path_(path) {
    const QFileInfo info(path);
    if (!info.exists())
        fail(path, QStringLiteral("the file does not exist"));
    if (info.isDir())
        fail(path, QStringLiteral("it is a folder, not a file"));

    std::FILE* raw = std::fopen(QFile::encodeName(path).constData(), "rb");
    if (!raw)
        fail(path, QString::fromLocal8Bit(std::strerror(errno)));

    file_ = std::make_unique<OggVorbis_File>();
    const int opened = ov_open_callbacks(raw, file_.get(), nullptr, 0, OV_CALLBACKS_DEFAULT);
    if (opened < 0) {
        // vorbisfile leaves the stream with us when opening fails.
        std::fclose(raw);
        file_.reset();
        fail(path, reasonFor(opened));
    }

    const vorbis_info* first = ov_info(file_.get(), 0);
    const ogg_int64_t total = ov_pcm_total(file_.get(), -1);
    if (!first || first->rate <= 0 || first->channels <= 0 || total < 0) {
        ov_clear(file_.get());
        file_.reset();
        fail(path, total < 0 ? reasonFor(static_cast<int>(total))
                             : QStringLiteral("the stream has no valid audio format"));
    }
    // vorbisfile may leave a chained or damaged file positioned past its
    // first link after scanning it; reading starts at the beginning.
    if (ov_pcm_tell(file_.get()) != 0 && ov_pcm_seek(file_.get(), 0) != 0 &&
        ov_raw_seek(file_.get(), 0) != 0) {
        ov_clear(file_.get());
        file_.reset();
        fail(path, reasonFor(OV_EBADLINK));
    }
    rate_ = static_cast<int>(first->rate);
    channels_ = first->channels;
    totalFrames_ = total;
    if (ov_streams(file_.get()) <= 1) {
        durationMs_ = totalFrames_ * 1000 / rate_;
    } else {
        const double seconds = ov_time_total(file_.get(), -1);
        durationMs_ = seconds > 0 ? static_cast<long long>(std::floor(seconds * 1000)) : 0;
    }
}

VorbisDecoder::~VorbisDecoder() {
    if (file_)
        ov_clear(file_.get());
}

void VorbisDecoder::seek(long long frame) {
    frame = std::clamp<long long>(frame, 0, totalFrames_);
    int result = ov_pcm_seek(file_.get(), frame);
    // Damage can defeat the exact seek; the page before, or the very start,
    // is the best that remains.
    if (result != 0)
        result = ov_pcm_seek_page(file_.get(), frame);
    if (result != 0 && frame == 0)
        result = ov_raw_seek(file_.get(), 0);
    if (result != 0)
        throw Error(QStringLiteral("Cannot seek in %1: %2").arg(path_, reasonFor(result)));
}

VorbisDecoder::Chunk VorbisDecoder::read(int maxFrames) {
    Chunk chunk;
    // A gap in the data is reported once; vorbisfile resumes after it. Endless
    // gaps mean there is nothing left worth decoding.
    for (int holes = 0;;) {
        int link = 0;
        const long got = ov_read_float(file_.get(), &chunk.planes, maxFrames, &link);
        if (got == OV_HOLE && ++holes < 1000)
            continue;
        if (got < 0)
            throw Error(QStringLiteral("Cannot decode %1: %2")
                            .arg(path_, reasonFor(static_cast<int>(got))));
        if (got == 0)
            return Chunk{};
        const vorbis_info* info = ov_info(file_.get(), link);
        chunk.frames = static_cast<int>(got);
        chunk.rate = info ? static_cast<int>(info->rate) : rate_;
        chunk.channels = info ? info->channels : channels_;
        return chunk;
    }
}
