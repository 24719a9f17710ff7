#pragma once

#include "engine/audio/AudioEncoder.h"
#include "engine/audio/SampleArray.h"

#include <QString>
#include <QStringList>

#include <cstdint>

class IAudioFile2LameEnc;

// One audio file, read or written; each object keeps to one role. The window
// and the command line own a reader and a writer each; parallel workers, and
// the loudness measure of copied pieces, make their own. Every failure throws
// `Error` with a message that names the file and the reason.
//
// Positions and counts are sample frames of the file being read, 64-bit so
// that files of any length (days at high rates) are cut where they are asked.
class IAudioFile2 {
public:
    virtual ~IAudioFile2() = default;

    // Reading. `options` and `mode` are kept for the callers' sake; pass 0, 1.
    virtual void Open(const QString& fileName, int option0, int option1) = 0;
    virtual void Close() = 0;
    // The next `count` frames from the current position: exactly `count`,
    // fewer only at the end of the file, empty past it.
    virtual SampleArray ReadSamples(int count) = 0;
    // The next ReadSamples starts at `frame`. `mode` is 3.
    virtual std::int64_t Seek(std::int64_t frame, int mode) = 0;
    // Until the file is closed, decode ahead on a second thread while the
    // caller works on what it has: for callers that read long stretches in
    // order. What ReadSamples delivers stays the same.
    virtual void SetReadAhead(bool /*on*/) {}
    // Until the file is closed, seeks start decoding a little before the
    // frame, as a player does, instead of giving exactly the samples a
    // straight decode gives there: for listening, never for writing.
    virtual void SetQuickSeeks(bool /*on*/) {}

    // Writing. The format follows the extension (case-insensitive): WAV, MP3,
    // OGG and WMA with the last of their set-up calls below, any other with
    // the encoder last handed over for it (SetEncoderFactory).
    virtual void CreateOutput(const QString& fileName, int option) = 0;
    // Samples that are not finite or lie outside -1..1 are clipped to full
    // scale (a NaN becomes 0) before any encoder sees them.
    virtual void WriteSamples(const SampleArray& samples) = 0;
    // How many samples given to the last output created were faults of the
    // source: not numbers, infinite or beyond twice full scale.
    virtual std::int64_t FaultySamples() { return 0; }

    virtual bool CheckMp3Format(int sampleRate, int kbps, int channelMode) = 0;
    virtual bool CheckOggFormat(int sampleRate, int channels, int kbps, int minKbps,
                                int maxKbps) = 0;

    // A reader converts what it delivers to this format; a writer expects it.
    virtual void SetSampleFormat(int sampleRate, int channels) = 0;
    virtual void SetWavFormat(int sampleRate, int channels, int bitsPerSample) = 0;
    // The encoder object must outlive the writer's outputs.
    virtual void SetMp3Encoder(IAudioFile2LameEnc* encoder) = 0;
    // quality -1 selects the bitrates, 0..1000 quality mode.
    virtual void SetOggFormat(int sampleRate, int channels, int kbps, int minKbps, int maxKbps,
                              int quality) = 0;
    virtual void SetWmaProfile(int profile) = 0; // 1..47
    // On a writer: the depth the blocks' samples had in their source (0 for
    // a lossy one), which lossless outputs keep.
    virtual void SetSampleBits(int /*bits*/) {}
    // Outputs whose extension is one of `extensions` (".flac", ...) are
    // encoded by `factory` from now on: formats beyond those the set-up
    // calls above name bring their encoder along (see OutputFormats).
    virtual void SetEncoderFactory(const QStringList& /*extensions*/, EncoderFactory /*factory*/) {}
    // On a writer with an output open, before its first samples: the frames
    // the output will hold, when that is known up front.
    virtual void SetOutputLength(std::int64_t /*frames*/) {}

    virtual std::int64_t SampleCount() = 0;
    virtual bool IsOpen() = 0;
    virtual std::int64_t DurationMs() = 0;
    virtual int Channels() = 0;
    virtual int SampleRate() = 0;
    // Of the file being read: the depth of its samples, 0 when it is lossy.
    virtual int SampleBits() { return 0; }
    virtual void SetActive(bool active) = 0;
};
