#pragma once

#include <QString>
#include <QStringList>

// Generated Ogg Vorbis sources for tests: a sine tone (or silence) of a given
// rate, channel count and length, with optional Vorbis comments. The tone may
// sweep and carry noise, which encoders find as hard as real music; a pure
// tone encodes unrealistically fast.
struct OggFixture {
    int rate = 44100;
    int channels = 2;
    double seconds = 1.0;
    double frequency = 440.0; // 0 gives silence
    float amplitude = 0.5f;
    QStringList comments;     // "TITLE=Song", written as given
    double sweepTo = 0;       // above 0: the tone glides from `frequency` up to this,
    double sweepSeconds = 10; // starting again every so many seconds
    float noise = 0;          // amplitude of white noise, independent in each channel
    // Seconds of a rise from silence at the start. Music seldom starts at
    // full level on its first sample, and libvorbis spends markedly fewer
    // bits on a whole file that does.
    double fadeIn = 0;
    int serial = 0; // of the Ogg stream; 0 derives one from the format

    // A tone of `seconds` at `frequency` Hz (0: silence).
    static OggFixture Tone(double seconds, double frequency = 440.0, int rate = 44100,
                           int channels = 2);

    // Noise under a tone sweeping from 50 Hz to 15 kHz every 10 seconds,
    // rising from silence over its first 0.1 seconds.
    static OggFixture NoiseAndSweep(double seconds, int rate = 44100, int channels = 2);

    // Writes the file (replacing it) and returns its path; throws on failure.
    QString write(const QString& path) const;
    // The exact number of frames the file holds.
    long long frames() const;
};
