#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <map>
#include <vector>

// Decodes any audio file with FFmpeg's libavformat/libavcodec: the
// independent reader tests check our outputs with.
struct DecodedAudio {
    QString codec;     // FFmpeg's codec name: "mp3", "vorbis", "wmav2", "pcm_s16le" ...
    QString container; // FFmpeg's format name: "mp3", "ogg", "asf", "wav"
    int rate = 0;
    int channels = 0;
    int bitsPerSample = 0;      // for PCM: bits of the stored samples
    long long bitRate = 0;      // as the container or codec reports it, bits per second
    std::vector<float> samples; // interleaved
    // The speaker FFmpeg names for each channel of `samples`, as ffprobe
    // lists a layout ("FL", "FR", "FC", "LFE", "BL", "BR", "SL" ...); "?" for
    // a channel of a layout that names none.
    QStringList speakers;
    // The container's and the audio stream's tags, keys in lower case.
    std::map<QString, QString> tags;
    // The picture FFmpeg finds attached (a front cover), as stored.
    QByteArray cover;

    long long frames() const {
        return channels > 0 ? static_cast<long long>(samples.size()) / channels : 0;
    }
    double seconds() const { return rate > 0 ? static_cast<double>(frames()) / rate : 0.0; }
    // One channel, 0-based.
    std::vector<float> channel(int index) const;
};

// Throws std::runtime_error when the file cannot be decoded.
DecodedAudio decodeWithFfmpeg(const QString& path);

// The strongest frequency of a signal, in Hz, found by counting zero
// crossings: good enough to tell a 440 Hz tone from anything else.
double dominantFrequency(const std::vector<float>& mono, int rate);

// Root mean square of samples [from, to).
double rms(const std::vector<float>& mono, size_t from, size_t to);
