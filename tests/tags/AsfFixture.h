#pragma once

#include <QString>

// A real WMA file (wmav2 in ASF) of a 440 Hz tone, written with FFmpeg.
void writeWma(const QString& path, double seconds = 1.0, int rate = 44100, int channels = 2);
