#pragma once

#include "engine/audio/AudioDecoder.h"

#include <QString>

#include <memory>
#include <vector>

class OggFileView;
class OggPageIndex;
struct OggVorbis_File;

// One Ogg Vorbis file opened with vorbisfile. Its length is what vorbisfile
// decodes from its start to its end. Positions are frames of the file in the
// first link's rate: a later link of a chained file in another rate counts as
// many frames as it lasts at that rate, while `read` delivers it as it is.
// Audio lost to damage is left out, as oggdec leaves it out; a page repeated
// right after itself is dropped, and audio that stops before the file's
// length is an error rather than an early end.
class VorbisDecoder final : public AudioDecoder {
public:
    // Throws Error naming the file and the reason when it cannot be decoded,
    // has a format no real file has, or pages whose positions cannot be true.
    explicit VorbisDecoder(const QString& path);
    ~VorbisDecoder() override;
    VorbisDecoder(const VorbisDecoder&) = delete;
    VorbisDecoder& operator=(const VorbisDecoder&) = delete;

    // Format of the first link.
    int rate() const override { return rate_; }
    int channels() const override { return channels_; }
    long long totalFrames() const override { return totalFrames_; }
    long long durationMs() const override { return durationMs_; }

    // Sample-exact; `frame` is clamped to the file.
    void seek(long long frame) override;
    // Up to `maxFrames` frames of one link. Throws Error naming the file and
    // the second when the audio cannot be read up to the file's length.
    Chunk read(int maxFrames) override;

private:
    struct Closer {
        void operator()(OggVorbis_File* file) const;
    };

    void open();
    void rawSeek(long long offset);
    // Between the file's frames and the frames decoded, which count each
    // link in its own rate.
    long long toDecoded(long long frame) const;
    long long toFrames(long long decoded) const;
    Chunk deliver(float** planes, int frames);
    [[noreturn]] void failReading(const QString& reason) const;

    QString path_;
    std::unique_ptr<OggFileView> source_; // outlives file_, which reads through it
    std::unique_ptr<OggVorbis_File, Closer> file_;
    std::unique_ptr<OggPageIndex> pages_;
    int rate_ = 0;
    int channels_ = 0;
    long long totalFrames_ = 0;
    long long durationMs_ = 0;
    long long decodedFrames_ = 0; // of all links, each in its own rate
    std::vector<int> linkRates_;
    std::vector<long long> linkFrames_; // where each link starts in the file's frames

    // Decoded frames, counted across links:
    long long next_ = 0;    // the frame the next delivered one is
    long long at_ = 0;      // the frame vorbisfile delivers next
    int link_ = 0;          // the link vorbisfile is in
    long long silence_ = 0; // frames missing from a link still to deliver
    // Decoded frames not yet delivered, still owned by vorbisfile.
    float** held_ = nullptr;
    int heldFrames_ = 0;
    int heldOffset_ = 0;
    int heldRate_ = 0;
    int heldChannels_ = 0;
    long long told_ = 0; // vorbisfile's number for the next frame
    std::vector<float*> view_;
    std::vector<float> zeros_;
};
