#pragma once

#include "engine/audio/AudioEncoder.h"
#include "engine/audio/OutputFile.h"

#include <QString>

#include <memory>
#include <optional>

struct OggOpusEnc;
struct OggOpusComments;

// Ogg Opus through libopusenc. Opus runs at 48 kHz whatever the source's
// rate, so frames come in at 48 kHz (the writer converts them); the pre-skip
// and the last page's position make the file decode to exactly the frames
// written. Bitrate 6..510 kbps, complexity 0..10.
class OpusEncoder : public AudioEncoder {
public:
    enum class Application { Audio = 0, Voip = 1, LowDelay = 2 };
    struct Format {
        int channels = 2;
        int kbps = 128;
        int complexity = 10;
        Application application = Application::Audio;
    };
    static constexpr int Rate = 48000;

    OpusEncoder(const QString& path, const Format& format);
    ~OpusEncoder() override;

    int rate() const override { return Rate; }
    int channels() const override { return format_.channels; }
    void write(const float* interleaved, std::size_t frames) override;
    void finish() override;

private:
    struct Deleter {
        void operator()(OggOpusEnc* encoder) const;
        void operator()(OggOpusComments* comments) const;
    };
    friend struct OpusCallbacks;

    bool take(const unsigned char* data, std::size_t size);
    [[noreturn]] void fail(const QString& what, int error) const;

    Format format_;
    QString path_;
    std::optional<OutputFile> file_;
    std::unique_ptr<OggOpusComments, Deleter> comments_;
    QString writeError_;
    std::size_t written_ = 0; // frames handed to the encoder
    // Last, so it goes first, while what it calls back into is still there.
    std::unique_ptr<OggOpusEnc, Deleter> encoder_;
};
