#pragma once

#include "engine/audio/AudioEncoder.h"
#include "engine/audio/LameSettings.h"
#include "engine/audio/OutputFile.h"

#include <QString>

#include <memory>
#include <optional>
#include <vector>

struct lame_global_struct;

// MP3 through LAME. LAME resamples to its output rate itself, so frames come
// in at the source rate; the channel count is the one the settings produce.
// With the VBR header enabled, the finished LAME/Xing frame replaces the
// placeholder frame at the start of the file when the file is completed.
class Mp3Encoder : public AudioEncoder {
public:
    Mp3Encoder(const QString& path, int sourceRate, int sourceChannels,
               const LameSettings& settings);
    ~Mp3Encoder() override;

    int rate() const override { return rate_; }
    int channels() const override { return channels_; }
    void write(const float* interleaved, std::size_t frames) override;
    void finish() override;

    // Whether LAME accepts exactly this rate, bitrate and channel count as a
    // CBR encode (it would otherwise quietly pick another bitrate).
    static bool accepts(int sampleRate, int kbps, int channels);

private:
    struct LameCloser {
        void operator()(lame_global_struct* lame) const;
    };

    int rate_;
    int channels_;
    std::unique_ptr<lame_global_struct, LameCloser> lame_;
    std::optional<OutputFile> file_;
    std::vector<float> left_;
    std::vector<float> right_;
    std::vector<unsigned char> mp3_;
};
