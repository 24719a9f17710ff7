#pragma once

#include "engine/audio/PacketTable.h"

#include <QByteArray>
#include <QFile>
#include <QString>

#include <cstdint>
#include <memory>
#include <vector>

// The packets of the one audio track (AAC or ALAC) of an MP4 file (M4A, M4B,
// MOV), read from the track's sample tables where they lie in the file: a
// window of each table is read as packets are asked for, so memory stays the
// same for a 30-hour audiobook as for a song. The packets are the ones
// libavformat would deliver on a read from the start, with the same encoder
// delay dropped (from the edit list, else from an iTunSMPB tag); the frames
// each decodes to come from the decoder (setFrameSize, setLastFrames).
class Mp4SampleTable final : public PacketTable {
public:
    enum class Codec { Aac, Alac };

    // Null when the file is not such a file or holds something this does not
    // read the way libavformat does (fragments, several audio tracks,
    // reordered or sync-marked samples, edit lists of more than one part):
    // the caller then demuxes it with libavformat.
    static std::unique_ptr<Mp4SampleTable> Open(const QString& path);

    // The samples of the text track `trackId` (a chapter track), not of
    // the audio: null where that is no text track, or an edit list moves
    // or cuts it. Only the sample accessors below serve such a table.
    static std::unique_ptr<Mp4SampleTable> OpenText(const QString& path, std::uint32_t trackId);

    // The movie's time: its timescale, and its length from its header.
    std::uint32_t movieTimescale() const { return movieTimescale_; }
    std::uint64_t movieDuration() const { return movieDuration_; }
    // Whether libavformat starts the track at time zero: no empty edit
    // delays it, and no priming given only by an iTunSMPB tag moves it.
    bool startsAtZero() const;

    // The track's samples in its media's time (timescale()): how many,
    // where each starts, how long the media header and the time table say
    // the track is, and up to `bytes` of a sample's bytes from its start
    // (the file's, past its end).
    std::uint64_t samples() const { return samples_; }
    std::uint64_t start(std::uint64_t sample) const;
    std::uint64_t mediaDuration() const { return mediaDuration_; }
    std::uint64_t tableDuration() const { return tableDuration_; }
    QByteArray sampleBytes(std::uint64_t sample, int bytes) const;

    Codec codec() const { return codec_; }
    // The decoder's configuration, as libavformat gives it as extradata.
    const QByteArray& codecConfig() const { return config_; }
    int sampleRate() const { return sampleRate_; }
    int channels() const { return channels_; }
    int timescale() const { return timescale_; }

    long long pos(std::size_t packet) const;
    int bytes(std::size_t packet) const;
    // Reads the packet's bytes into `into`, bytes(packet) long; false when
    // the file no longer holds them.
    bool read(std::size_t packet, unsigned char* into) const;

    // What the decoder delivers for every packet (AAC: 1024, 2048 with SBR;
    // ALAC: its cookie's frame length), and for the last one. Until told,
    // each packet counts as long as the table times it.
    void setFrameSize(int frames);
    void setLastFrames(int frames);

    std::size_t size() const override { return count_; }
    int frames(std::size_t packet) const override;
    int keepFrom(std::size_t packet) const override;
    int keepTo(std::size_t packet) const override;
    long long first(std::size_t packet) const override;
    std::size_t packetAt(long long frame) const override;
    long long totalFrames() const override;

private:
    // One table in the file: `count` entries of `entrySize` bytes from
    // `offset`, with the window of them read last.
    struct Table {
        long long offset = 0;
        std::uint64_t count = 0;
        int entrySize = 0;
        mutable std::vector<unsigned char> window;
        mutable std::uint64_t windowFirst = 0;
        mutable std::uint64_t windowCount = 0;
    };
    // Every so many entries of a run-length table, where it stands.
    struct Mark {
        std::uint64_t entry = 0;
        std::uint64_t sample = 0;
        std::uint64_t time = 0;
    };
    struct Kept {
        int from = 0;
        int to = 0;
    };

    Mp4SampleTable() = default;
    bool parse();
    bool parseTrack(long long at, long long end);
    bool parseSampleEntry(const QByteArray& stsd);
    bool parseTextEntry(const QByteArray& stsd);
    bool applyEdits();
    void place();

    const unsigned char* entry(const Table& table, std::uint64_t index) const;
    std::uint64_t chunkOffset(std::uint64_t chunk) const;
    int sampleSize(std::uint64_t sample) const;
    // The sample's start in the media's time and its duration.
    std::uint64_t sampleTime(std::uint64_t sample, std::uint32_t* duration = nullptr) const;
    // The last sample starting at or before the time.
    std::uint64_t sampleAtTime(std::uint64_t time) const;
    long long sampleOffset(std::uint64_t sample) const;

    mutable QFile file_;
    Codec codec_ = Codec::Aac;
    QByteArray config_;
    int sampleRate_ = 0;
    int channels_ = 0;
    std::uint32_t textTrack_ = 0; // the track ID of a text track read instead
    std::uint32_t movieTimescale_ = 0;
    std::uint64_t movieDuration_ = 0;
    std::uint32_t timescale_ = 0;
    std::uint64_t mediaDuration_ = 0; // from the media header
    std::uint64_t tableDuration_ = 0; // the time table's sum
    bool delayed_ = false;
    int priming_ = 0; // from an iTunSMPB tag
    bool hasEdit_ = false;
    long long editStart_ = 0;    // media time of the edit's start
    long long editDuration_ = 0; // in the movie's timescale

    Table stts_, stsc_, stsz_, stco_;
    std::uint32_t constantSize_ = 0; // every sample's size, when stsz gives one
    int sizeBits_ = 32;              // stz2's field size
    std::uint64_t samples_ = 0;
    std::vector<Mark> sttsMarks_, stscMarks_;

    // The samples a read from the start delivers: [firstSample_, +count_).
    std::uint64_t firstSample_ = 0;
    std::size_t count_ = 0;
    std::size_t discarded_ = 0; // the first ones, wholly before the edit
    long long skip_ = 0;        // frames to drop from the first one on
    int frameSize_ = 0;         // 0: each packet's duration in the table
    int lastFrames_ = -1;
    std::vector<Kept> head_; // the first packets, not all kept
    long long headFrames_ = 0;

    // Where the last sample asked for lies, for reading in order.
    mutable std::uint64_t cursorSample_ = UINT64_MAX;
    mutable std::uint64_t cursorChunkEnd_ = 0;
    mutable long long cursorOffset_ = 0;
    mutable Mark sttsCursor_; // the stts entry of the last sample timed
};
