#pragma once

#include <QString>

#include <memory>

// Decodes one audio file to planar float samples. Positions and lengths are
// frames of the file: a position of t seconds is frame t × rate, and the
// length is exactly what a straight decode from the start delivers.
class AudioDecoder {
public:
    // A view of decoded planar samples, valid until the next call.
    struct Chunk {
        float** planes = nullptr;
        int frames = 0; // 0 at the end of the file
        int rate = 0;
        int channels = 0;
    };

    // Picks the decoder by the file's content, not its name: Ogg Vorbis goes
    // to vorbisfile, everything else to libavformat/libavcodec. Throws Error
    // naming the file and the reason when it cannot be decoded.
    static std::unique_ptr<AudioDecoder> Open(const QString& path);
    // Whether the file is an Ogg stream whose first packet is a Vorbis
    // identification header: the files vorbisfile decodes and whose packets
    // can be copied. An Ogg file of another codec (Opus, FLAC) is not.
    static bool IsOggVorbis(const QString& path);
    // The length the file's header or container announces, in milliseconds;
    // -1 when it announces none or cannot be read. A file cut short decodes
    // to less.
    static long long AnnouncedMs(const QString& path);

    virtual ~AudioDecoder() = default;
    AudioDecoder(const AudioDecoder&) = delete;
    AudioDecoder& operator=(const AudioDecoder&) = delete;

    virtual int rate() const = 0;
    virtual int channels() const = 0;
    virtual long long totalFrames() const = 0;
    virtual long long durationMs() const = 0;
    // The depth of a lossless source's samples; 0 for lossy ones.
    virtual int bitsPerSample() const { return 0; }

    // Sample-exact; `frame` is clamped to the file. What follows a seek is
    // exactly what a straight decode from the start delivers there, unless
    // quick seeks are on.
    virtual void seek(long long frame) = 0;
    // Quick seeks start decoding a few packets before the frame, as a player
    // does: the position stays exact, but lossy audio whose decoder carries
    // state across the whole stream (AAC's and WMA's noise, AC-3's dither,
    // Opus) may then differ a little from a straight decode. For listening,
    // never for what is written.
    virtual void setQuickSeeks(bool /*on*/) {}
    // Whether a seek forward is done by decoding on to the frame: true where
    // only a straight decode gives the exact samples.
    virtual bool seeksByDecoding() const { return false; }
    // Up to `maxFrames` frames. Throws Error naming the file and the second
    // when the audio cannot be read up to the file's length.
    virtual Chunk read(int maxFrames) = 0;

protected:
    AudioDecoder() = default;
};
