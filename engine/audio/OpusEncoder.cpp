#include "engine/audio/OpusEncoder.h"

#include "platform/Error.h"

#include <opusenc.h>

#include <algorithm>
#include <utility>

namespace {

constexpr std::size_t kBlockFrames = 4800;

int applicationCode(OpusEncoder::Application application) {
    switch (application) {
    case OpusEncoder::Application::Voip:
        return OPUS_APPLICATION_VOIP;
    case OpusEncoder::Application::LowDelay:
        return OPUS_APPLICATION_RESTRICTED_LOWDELAY;
    case OpusEncoder::Application::Audio:
        break;
    }
    return OPUS_APPLICATION_AUDIO;
}

} // namespace

// libopusenc calls back into C functions; these hand over to the encoder.
struct OpusCallbacks {
    static int write(void* self, const unsigned char* data, opus_int32 size) {
        return static_cast<OpusEncoder*>(self)->take(data, static_cast<std::size_t>(size)) ? 0 : 1;
    }
    // The file is closed by the encoder object, which reports a failed close.
    static int close(void*) { return 0; }
};

void OpusEncoder::Deleter::operator()(OggOpusEnc* encoder) const {
    ope_encoder_destroy(encoder);
}

void OpusEncoder::Deleter::operator()(OggOpusComments* comments) const {
    ope_comments_destroy(comments);
}

OpusEncoder::OpusEncoder(const QString& path, const Format& format) : format_(format), path_(path) {
    if (format.channels < 1 || format.channels > 8 || format.kbps < 6 || format.kbps > 510 ||
        format.complexity < 0 || format.complexity > 10)
        throw Error(QStringLiteral("Cannot create %1: Opus cannot encode %2 channels at %3 kbps, "
                                   "complexity %4")
                        .arg(path)
                        .arg(format.channels)
                        .arg(format.kbps)
                        .arg(format.complexity));
    comments_.reset(ope_comments_create());
    if (!comments_)
        throw Error(QStringLiteral("Cannot create %1: out of memory").arg(path));
    file_.emplace(path);
    const OpusEncCallbacks callbacks{OpusCallbacks::write, OpusCallbacks::close};
    int error = OPE_OK;
    // Mapping family 0 holds mono and stereo; 1 the surround layouts.
    encoder_.reset(ope_encoder_create_callbacks(&callbacks, this, comments_.get(), Rate,
                                                format.channels, format.channels > 2 ? 1 : 0,
                                                &error));
    if (!encoder_ || error != OPE_OK)
        fail(QStringLiteral("create"), error);
    // The application before anything is encoded: the encoder's delay, and
    // so the pre-skip, follows from it.
    for (const auto& [request, value] :
         {std::pair{OPUS_SET_APPLICATION_REQUEST, applicationCode(format.application)},
          std::pair{OPUS_SET_BITRATE_REQUEST, format.kbps * 1000},
          std::pair{OPUS_SET_COMPLEXITY_REQUEST, format.complexity}}) {
        error = ope_encoder_ctl(encoder_.get(), request, static_cast<opus_int32>(value));
        if (error != OPE_OK)
            fail(QStringLiteral("create"), error);
    }
}

OpusEncoder::~OpusEncoder() = default;

bool OpusEncoder::take(const unsigned char* data, std::size_t size) {
    if (!writeError_.isEmpty())
        return false;
    try {
        file_->write(data, size);
    } catch (const Error& e) {
        writeError_ = e.message();
        return false;
    }
    return true;
}

void OpusEncoder::fail(const QString& what, int error) const {
    if (!writeError_.isEmpty())
        throw Error(writeError_);
    throw Error(QStringLiteral("Cannot %1 %2: %3")
                    .arg(what, path_, QString::fromUtf8(ope_strerror(error))));
}

void OpusEncoder::write(const float* interleaved, std::size_t frames) {
    if (!file_)
        return;
    const auto channels = static_cast<std::size_t>(format_.channels);
    for (std::size_t done = 0; done < frames;) {
        const std::size_t n = std::min(kBlockFrames, frames - done);
        const int error = ope_encoder_write_float(encoder_.get(), interleaved + done * channels,
                                                  static_cast<int>(n));
        if (error != OPE_OK || !writeError_.isEmpty())
            fail(QStringLiteral("write"), error);
        done += n;
        written_ += n;
    }
}

void OpusEncoder::finish() {
    if (!file_)
        return;
    // libopusenc cannot end a stream that holds no audio (draining one
    // aborts the program): such a file stays empty, and whoever closes it
    // without audio (a piece stopped at once, or never begun after another
    // failed) discards it.
    if (written_ > 0) {
        const int error = ope_encoder_drain(encoder_.get());
        if (error != OPE_OK || !writeError_.isEmpty())
            fail(QStringLiteral("complete"), error);
    }
    encoder_.reset();
    OutputFile file = std::move(*file_);
    file_.reset();
    file.close();
}
