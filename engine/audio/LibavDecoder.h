#pragma once

#include "engine/audio/AudioDecoder.h"
#include "engine/audio/FileStamp.h"
#include "engine/audio/LibavHandles.h"
#include "engine/audio/PacketIndex.h"
#include "engine/audio/PacketTable.h"

#include <QString>

#include <cstddef>
#include <memory>
#include <vector>

// Any audio file libavformat/libavcodec read (MP3, FLAC, Opus, WAV, AIFF,
// M4A, Matroska, ASF ...). Opening walks every packet of the audio stream once
// and keeps an index of them: each packet's frames come from the container
// where it times packets to the frame, else from the packet itself (its
// codec's frame size, the Vorbis and Opus packet headers) or, for codecs
// whose packets say nothing of their length, from decoding it. Less what the
// container and the decoder say to drop (encoder delay and padding, pre-skip,
// edit lists), that is exactly what libavcodec delivers on a straight decode.
// Seeks place frames by that index alone, never by the demuxer's timestamps.
// Files opened again (by each worker of a run) reuse the index. An MP3 file
// whose frames fill it is counted from their headers instead, and opened
// with libav and indexed only once it is sought or read.
// Channels come in the Vorbis order, as from VorbisDecoder.
class Mp4SampleTable;

class LibavDecoder final : public AudioDecoder {
public:
    // Throws Error naming the file and the reason when it holds no audio
    // that can be decoded.
    explicit LibavDecoder(const QString& path);
    ~LibavDecoder() override;

    int rate() const override { return rate_; }
    int channels() const override { return channels_; }
    long long totalFrames() const override { return totalFrames_; }
    long long durationMs() const override { return durationMs_; }
    int bitsPerSample() const override { return bits_; }

    void seek(long long frame) override;
    Chunk read(int maxFrames) override;
    void setQuickSeeks(bool on) override { quickSeeks_ = on; }
    bool seeksByDecoding() const override { return !quickSeeks_ && !settles_; }
    // Whether the packets come from the file's MP4 sample tables rather than
    // from libavformat.
    bool readsSampleTables() const { return mp4_ != nullptr; }

private:
    void allocate();
    void openInput();
    void openMp4();
    const AVCodecParameters* params() const;
    void openCodec();
    void takeFormat();
    void indexPackets();
    bool countMp3Frames();
    void indexWhenDeferred();
    void buildIndex();
    void settleLastPacket(PacketIndex& index);
    int decodeLastPacket();
    std::size_t prerollStart(std::size_t packet) const;
    int decodedCount(const AVPacket& packet, int* decoderSkip = nullptr);
    bool oneFrameSize() const;
    long long parsedFrames(const AVPacket& packet);
    bool readPacket();
    bool matches(std::size_t at) const;
    bool identifies(std::size_t at) const;
    bool seekNear(std::size_t target);
    void walkTo(std::size_t target);
    void skipTo(std::size_t target);
    bool verifiedSkipTo(std::size_t target);
    int decodeRaw();
    void decodeNext();
    void convert(const AVFrame& frame, int at);
    [[noreturn]] void fail(const QString& reason) const;
    [[noreturn]] void failReading(const QString& reason) const;

    QString path_;
    LibavFormat format_;
    LibavCodec codec_;
    LibavPacket packet_;
    LibavFrame frame_;
    LibavSwr swr_;
    int swrFormat_ = -1; // the sample format swr_ converts from
    int stream_ = -1;
    int rate_ = 0;
    int channels_ = 0;
    std::vector<int> slotOf_; // each decoded channel's place in the Vorbis order
    bool lossless_ = false;
    // A decoder whose state after a few packets no longer depends on what
    // came before (lossless codecs, MPEG audio, Vorbis): a seek that decodes
    // from a few packets back gives exactly the straight decode's samples.
    bool settles_ = false;
    bool quickSeeks_ = false;
    bool opened_ = false;          // the index is built and the decoder at the start
    bool indexDeferred_ = false;   // counted without it: built on the first seek or read
    long long countedFrames_ = -1; // an MP3 file's frames, counted from their headers
    bool frameSizeHolds_ = true;   // the codec's frame size is what a packet decodes to
    int bits_ = 0;
    long long totalFrames_ = 0;
    long long durationMs_ = 0;
    std::shared_ptr<const PacketIndex> index_; // shared with other decoders of the file
    // MP4 files of one AAC or ALAC track are read through their own sample
    // tables instead of libavformat, whose index of a long audiobook takes
    // hundreds of megabytes; their table is the index.
    std::unique_ptr<Mp4SampleTable> mp4_;
    LibavCodecParameters mp4Params_;
    const PacketTable* table_ = nullptr; // index_ or mp4_
    // The MP4 file as it was opened.
    FileStamp mp4Stamp_;
    LibavVorbisParse vorbisParse_; // Vorbis packets' lengths, where the container gives none

    std::size_t current_ = 0; // the packet the demuxer delivers next
    bool havePacket_ = false; // packet_ already holds it
    long long next_ = 0;      // the frame the next delivered one is
    // The last packet decoded: all its frames, and which are still to deliver.
    std::vector<std::vector<float>> held_;
    int heldAt_ = 0;
    int heldEnd_ = 0;
    std::vector<float*> view_;
};
