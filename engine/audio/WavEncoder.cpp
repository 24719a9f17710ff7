#include "engine/audio/WavEncoder.h"

#include "engine/audio/ChannelOrder.h"
#include "platform/Error.h"

#include <QFile>

#include <sndfile.h>

#include <cerrno>
#include <cstring>

void WavEncoder::Closer::operator()(sf_private_tag* file) const {
    sf_close(file);
}

namespace {

// The format of the output, checked before anything is created: a refused
// setting leaves no file behind.
SF_INFO checkedFormat(const QString& path, int rate, int channels, int bitsPerSample) {
    int subtype = 0;
    switch (bitsPerSample) {
    case 8:
        subtype = SF_FORMAT_PCM_U8;
        break;
    case 16:
        subtype = SF_FORMAT_PCM_16;
        break;
    case 24:
        subtype = SF_FORMAT_PCM_24;
        break;
    case 32:
        subtype = SF_FORMAT_PCM_32;
        break;
    default:
        throw Error(QStringLiteral("Cannot create %1: WAV files of %2 bits per sample are not "
                                   "supported")
                        .arg(path)
                        .arg(bitsPerSample));
    }
    SF_INFO info{};
    info.samplerate = rate;
    info.channels = channels;
    // RF64 made plain WAV again on closing when it stayed small enough
    // (SFC_RF64_AUTO_DOWNGRADE below).
    info.format = SF_FORMAT_RF64 | subtype;
    if (rate <= 0 || channels <= 0 || !sf_format_check(&info))
        throw Error(QStringLiteral("Cannot create %1: WAV cannot hold %2 Hz, %3 channels, %4 bits")
                        .arg(path)
                        .arg(rate)
                        .arg(channels)
                        .arg(bitsPerSample));
    return info;
}

} // namespace

WavEncoder::WavEncoder(const QString& path, int rate, int channels, int bitsPerSample)
    : path_(path), rate_(rate), channels_(channels),
      order_(ChannelOrder::Map(ChannelOrder::Vorbis(channels), ChannelOrder::Wav(channels))) {
    SF_INFO info = checkedFormat(path, rate, channels, bitsPerSample);
    errno = 0;
    adopt(sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info));
}

WavEncoder::WavEncoder(const QString& name, SF_VIRTUAL_IO& io, void* user, int rate, int channels,
                       int bitsPerSample)
    : path_(name), rate_(rate), channels_(channels),
      order_(ChannelOrder::Map(ChannelOrder::Vorbis(channels), ChannelOrder::Wav(channels))) {
    SF_INFO info = checkedFormat(name, rate, channels, bitsPerSample);
    errno = 0;
    adopt(sf_open_virtual(&io, SFM_WRITE, &info, user));
}

void WavEncoder::adopt(sf_private_tag* file) {
    file_.reset(file);
    if (!file_) {
        const QString reason = errno != 0 ? QString::fromLocal8Bit(std::strerror(errno))
                                          : QString::fromUtf8(sf_strerror(nullptr));
        throw Error(QStringLiteral("Cannot create %1: %2").arg(path_, reason));
    }
    sf_command(file_.get(), SFC_SET_CLIPPING, nullptr, SF_TRUE);
    // Before the first frame: the header is laid out for either form.
    if (sf_command(file_.get(), SFC_RF64_AUTO_DOWNGRADE, nullptr, SF_TRUE) != SF_TRUE)
        throw Error(QStringLiteral("Cannot create %1: the WAV writer cannot keep small files "
                                   "plain WAV")
                        .arg(path_));
}

WavEncoder::~WavEncoder() = default;

void WavEncoder::write(const float* interleaved, std::size_t frames) {
    if (!file_ || frames == 0)
        return;
    if (!ChannelOrder::IsIdentity(order_)) {
        reordered_.resize(frames * order_.size());
        ChannelOrder::Apply(order_, interleaved, frames, reordered_.data());
        interleaved = reordered_.data();
    }
    errno = 0;
    const sf_count_t written =
        sf_writef_float(file_.get(), interleaved, static_cast<sf_count_t>(frames));
    if (written != static_cast<sf_count_t>(frames))
        fail("write", errno, sf_strerror(file_.get()));
}

void WavEncoder::fail(const char* what, int error, const char* libraryReason) const {
    // The system's reason ("No space left on device") when there is one;
    // libsndfile's own texts wrap it in words of their own.
    const QString reason = error != 0 ? QString::fromLocal8Bit(std::strerror(error))
                                      : QString::fromUtf8(libraryReason);
    throw Error(QStringLiteral("Cannot %1 %2: %3").arg(QString::fromLatin1(what), path_, reason));
}

void WavEncoder::finish() {
    if (!file_)
        return;
    // Closing writes the final chunk sizes into the header.
    errno = 0;
    const int result = sf_close(file_.release());
    if (result != 0)
        fail("complete", errno, sf_error_number(result));
}
