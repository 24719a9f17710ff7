#pragma once

#include "engine/audio/AudioEncoder.h"
#include "engine/audio/OggHandle.h"
#include "engine/audio/OutputFile.h"

#include <QByteArray>
#include <QString>

#include <ogg/ogg.h>

#include <memory>
#include <optional>
#include <vector>

class OpusFrameEncoder;

// Ogg Opus through libopus (OpusFrameEncoder), paged by libogg. Opus runs at
// 48 kHz whatever the source's rate, so frames come in at 48 kHz (the writer
// converts them); the pre-skip and the last page's position make the file
// decode to exactly the frames written. Bitrate 6..510 kbps, complexity
// 0..10, 20 ms frames.
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
    using StreamState = OggHandle<ogg_stream_state, ogg_stream_init, ogg_stream_clear>;

    void encode(const float* frame, bool last);
    void writePages(bool flush);

    Format format_;
    QString path_;
    std::optional<OutputFile> file_;
    std::unique_ptr<OpusFrameEncoder> encoder_;
    std::unique_ptr<StreamState> stream_;
    std::vector<float> pending_; // less than one Opus frame, interleaved
    std::vector<unsigned char> packet_;
    std::int64_t written_ = 0; // frames handed to the encoder
    std::int64_t encoded_ = 0; // frames encoded, the pre-skip's included
    std::int64_t packetNo_ = 0;
};
