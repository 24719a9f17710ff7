#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// The chapters a source file carries, as libavformat reads them: Vorbis and
// Opus CHAPTERnnn / CHAPTERnnnNAME comments, FLAC CUESHEET blocks, ID3v2
// CHAP frames and MP4 chapters all arrive there as one list, so one reader
// covers every container.
class SourceChapters {
public:
    struct Chapter {
        std::int64_t begin = 0; // frames at the rate asked for
        std::int64_t end = 0;
        QString title;
    };

    // The chapters of `path` in order, each time at its nearest frame at
    // `rate` (the audio stream's own when 0); none when the file has none.
    // Throws Error when the file cannot be opened.
    static std::vector<Chapter> Read(const QString& path, int rate = 0);
};
