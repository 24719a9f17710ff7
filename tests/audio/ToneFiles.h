#pragma once

#include "engine/audio/AudioFile2.h"
#include "tests/support/OggFixture.h"

#include <QString>
#include <QTemporaryDir>

// Test sources and the copy loop the runs use: a generated Ogg tone is read
// block by block and handed to a writer.
class ToneFiles {
public:
    QString path(const QString& name) const { return dir_.filePath(name); }

    QString tone(const QString& name, int rate = 44100, int channels = 2, double seconds = 1.0,
                 double frequency = 440.0) const {
        return OggFixture::Tone(seconds, frequency, rate, channels).write(path(name));
    }

    // Opens `source`, sets the writer's input to its format, creates `output`,
    // copies everything in blocks of `block` frames and closes both.
    static void convert(const QString& source, AudioFile2& writer, const QString& output,
                        int block = 44100) {
        AudioFile2 reader;
        reader.Open(source, 0, 1);
        writer.SetSampleFormat(reader.SampleRate(), reader.Channels());
        writer.CreateOutput(output, 0);
        for (;;) {
            const SampleArray a = reader.ReadSamples(block);
            if (a.empty())
                break;
            writer.WriteSamples(a);
        }
        writer.Close();
        reader.Close();
    }

private:
    QTemporaryDir dir_;
};
