#pragma once

#include <QString>

#include <memory>

struct OggVorbis_File;

// One Ogg Vorbis file opened with vorbisfile. Positions are vorbisfile's PCM
// positions: frames of the file, counted across all links of a chained file.
class VorbisDecoder {
public:
    // A view of decoded planar samples, valid until the next call.
    struct Chunk {
        float** planes = nullptr;
        int frames = 0; // 0 at the end of the file
        int rate = 0;
        int channels = 0;
    };

    // Throws Error naming the file and the reason when it cannot be decoded.
    explicit VorbisDecoder(const QString& path);
    ~VorbisDecoder();
    VorbisDecoder(const VorbisDecoder&) = delete;
    VorbisDecoder& operator=(const VorbisDecoder&) = delete;

    // Format of the first link.
    int rate() const { return rate_; }
    int channels() const { return channels_; }
    long long totalFrames() const { return totalFrames_; }
    long long durationMs() const { return durationMs_; }

    // Sample-exact; `frame` is clamped to the file.
    void seek(long long frame);
    // Up to `maxFrames` frames of one link.
    Chunk read(int maxFrames);

private:
    QString path_;
    std::unique_ptr<OggVorbis_File> file_;
    int rate_ = 0;
    int channels_ = 0;
    long long totalFrames_ = 0;
    long long durationMs_ = 0;
};
