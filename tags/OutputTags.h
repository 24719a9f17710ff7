#pragma once

#include "core/AudioFileinfo.h"

#include <QString>

// Tags a finished output with its source's record, by the output's
// extension: ID3v2 for .mp3, Windows Media attributes for .wma, Vorbis
// comments for .ogg, .flac and .opus; other outputs get none. Throws Error naming the output
// when a tag could not be written (a missing tag library is no error).
void WriteOutputTags(const QString& outputName, AudioFileinfo info);
