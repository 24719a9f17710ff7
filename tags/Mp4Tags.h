#pragma once

#include "core/AudioFileinfo.h"

#include <QString>

// Tags an MP4 audio file (.m4a, .m4b, .m4r) with the iTunes items players
// read: title, artist, album, year, genre, track n/N and disc n/N, each left
// out when empty. Throws Error naming the file when it cannot be read or
// written; the file is then as it was.
void WriteMp4Tags(const QString& fileName, const AudioFileinfo& info);
