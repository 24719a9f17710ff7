#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <cstdint>
#include <vector>

// Ogg Vorbis files as other programs write them: every Vorbis encoder Debian
// ships (FFmpeg's two, oggenc, SoX, libsndfile, GStreamer) at several rates
// and channel counts, and odd files made from our fixtures and from oggenc's,
// each with what libvorbisfile decodes from it (through oggdec, vorbis-tools'
// decoder).
// Encoding takes a few seconds, so the files are made once per test program,
// on first use, in a temporary folder.
class EncoderCorpus {
public:
    struct File {
        QString name;    // who made it and how: "oggenc_q10_44100_2"
        QString path;    // empty when it was not made
        QString skipped; // a program it needs is missing: the file was not made
        QString failure; // making or decoding it went wrong
        int rate = 0;    // of the first link
        int channels = 0;
        // Its length in frames of the first link, as the program must report
        // and deliver it.
        long long frames = 0;
        bool linksDiffer = false; // a chained file whose links differ in format
        // What libvorbisfile decodes, as 16-bit samples, interleaved. A file
        // whose second link changes the format holds only its first link here.
        std::vector<std::int16_t> reference;

        long long referenceFrames() const {
            return channels > 0 ? static_cast<long long>(reference.size()) / channels : 0;
        }
        float referenceSample(long long frame, int channel) const {
            return reference[static_cast<size_t>(frame * channels + channel)] / 32768.0f;
        }
    };

    static const EncoderCorpus& Shared();

    const std::vector<File>& files() const { return files_; }

    // What oggdec decodes from a file: 16-bit samples, interleaved, in the
    // Vorbis channel order; counted from its output, not from its header.
    // Throws std::runtime_error when oggdec is missing or fails.
    static std::vector<std::int16_t> DecodeWithOggdec(const QString& path);

    // The real recording the sources are cut from. Throws
    // std::runtime_error when its package is missing.
    static QString RealRecording();
    // The source every encoder is given: a 16-bit WAV file, an excerpt of
    // the real recording. Throws std::runtime_error.
    static void WriteSource(const QString& path, int rate, int channels, long long frames);
    // Runs a program to its end; throws std::runtime_error saying what went
    // wrong.
    static void Run(const QString& program, const QStringList& arguments);

private:
    EncoderCorpus();

    QTemporaryDir dir_;
    std::vector<File> files_;
};
