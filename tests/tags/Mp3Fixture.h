#pragma once

#include <QString>

// A real MP3 file of a 440 Hz tone, encoded with LAME, with no tag.
void writeMp3(const QString& path, double seconds = 1.0, int rate = 44100);
