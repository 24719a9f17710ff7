#pragma once

#include <QString>
#include <QStringList>

// Generated Ogg Vorbis sources for tests: a sine tone (or silence) of a given
// rate, channel count and length, with optional Vorbis comments.
struct OggFixture {
    int rate = 44100;
    int channels = 2;
    double seconds = 1.0;
    double frequency = 440.0; // 0 gives silence
    float amplitude = 0.5f;
    QStringList comments; // "TITLE=Song", written as given
    int serial = 0;       // of the Ogg stream; 0 derives one from the format

    // A tone of `seconds` at `frequency` Hz (0: silence).
    static OggFixture Tone(double seconds, double frequency = 440.0, int rate = 44100,
                           int channels = 2);

    // Writes the file (replacing it) and returns its path; throws on failure.
    QString write(const QString& path) const;
    // The exact number of frames the file holds.
    long long frames() const;
};
