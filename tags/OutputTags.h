#pragma once

#include "core/AudioFileinfo.h"

#include <QString>

// The tag writers of the output formats: each tags a finished output with
// its source's record in its format's own way, and throws Error naming the
// output when a tag could not be written (a missing tag library is no
// error). The output format registry names which format takes which.

// An ID3v2.3 tag at the start of an MP3 file.
void WriteId3OutputTags(const QString& outputName, const AudioFileinfo& info);
// Windows Media attributes.
void WriteWmaOutputTags(const QString& outputName, const AudioFileinfo& info);
// Ogg Vorbis comments, replaced through the comment editor.
void WriteOggOutputTags(const QString& outputName, const AudioFileinfo& info);
// Vorbis comments of FLAC and Opus files, through TagLib.
void WriteXiphOutputTags(const QString& outputName, const AudioFileinfo& info);
