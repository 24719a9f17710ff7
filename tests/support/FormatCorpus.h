#pragma once

#include "tests/support/FfmpegDecoder.h"

#include <QString>
#include <QTemporaryDir>

#include <vector>

// Audio files of the common formats as Debian's encoders write them: lame
// (CBR and VBR, with its LAME tag), FFmpeg's mp3, aac, flac and opus
// encoders, flac, opusenc, SoX's 24-bit FLAC, and SoX's WAV (16/24/32-bit integer, 32-bit float)
// and AIFF, at several rates and channel counts. Each comes with FFmpeg's
// full decode of it and, for FLAC and Opus, with the frames their own
// decoders (`flac -d`, `opusdec`) deliver. Made once per test program, on
// first use, in a temporary folder; a sibling of EncoderCorpus, whose source
// signal it encodes.
class FormatCorpus {
public:
    struct File {
        QString name;    // who made it and how: "lame_vbr_v2_48000_2"
        QString path;    // empty when it was not made
        QString skipped; // a program it needs is missing: the file was not made
        QString failure; // making or decoding it went wrong
        bool lossless = false;
        // Its decoder carries random state through the whole stream (made-up
        // noise, dither): quick seeks match only roughly.
        bool randomNoise = false;
        // An MP4 file read from its own sample tables, not through
        // libavformat's index.
        bool sampleTables = false;
        DecodedAudio reference; // FFmpeg's full decode
        // What the format's own decoder delivers, as 16-bit samples read
        // back; empty when the format has none here.
        DecodedAudio ownDecoder;
        QString ownDecoderName;
    };

    static const FormatCorpus& Shared();

    // Writes `out` with FFmpeg from a lavfi source graph (`source`, e.g.
    // "aevalsrc=sin(2*PI*440*t):s=44100:d=3"), encoded with `codec`
    // ({"-c:a", "flac"}). Throws std::runtime_error.
    static void Synthesize(const QString& source, const QStringList& codec, const QString& out);

    const std::vector<File>& files() const { return files_; }

    // Encodes every recipe's file, `seconds` of the recording, into
    // `folder`, with no reference decode: the fuzz targets' seeds. Recipes
    // whose programs are missing or fail are left out.
    struct Made {
        QString name;
        QString path;
    };
    static std::vector<Made> WriteFiles(const QString& folder, double seconds);

private:
    FormatCorpus();

    QTemporaryDir dir_;
    std::vector<File> files_;
};
