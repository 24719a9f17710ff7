#pragma once

#include <QString>

struct AudioFileinfo;

// The tags a source file brings to the job list, whatever its format: Vorbis
// comments of Ogg Vorbis, FLAC, Ogg FLAC and Opus, ID3v2 (else ID3v1) of MP3,
// MP4 atoms of M4A, RIFF INFO or ID3v2 of WAV and AIFF. The date goes into
// `Year` as the file has it. A file without tags leaves the record empty;
// only a file that cannot be read throws `Error`. Shared by the window's file
// list and the command-line tool.
void ReadSourceTags(const QString& fileName, AudioFileinfo& tags);
