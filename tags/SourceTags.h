#pragma once

#include <QString>

struct AudioFileinfo;

// The tags a source file brings to the job list: its Vorbis comments, the
// date in `Year` as the file has it. Throws `Error` when the file is not Ogg
// Vorbis. Shared by the window's file list and the command-line tool.
void ReadSourceTags(const QString& fileName, AudioFileinfo& tags);
