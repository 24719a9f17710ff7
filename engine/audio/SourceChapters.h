#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// The chapters a source file carries, as libavformat reads them: Vorbis and
// Opus CHAPTERnnn / CHAPTERnnnNAME comments, FLAC CUESHEET blocks, ID3v2
// CHAP frames and MP4 chapters all arrive there as one list, so one reader
// covers every container. MP4 files are read without libavformat where
// they can be, to the same list.
class SourceChapters {
public:
    struct Chapter {
        std::int64_t begin = 0; // frames at the rate asked for
        std::int64_t end = 0;
        QString title;

        bool operator==(const Chapter&) const = default;
    };

    // The chapters of `path` in order, each time at its nearest frame at
    // `rate` (the audio stream's own when 0); none when the file has none.
    // Throws Error when the file cannot be opened.
    static std::vector<Chapter> Read(const QString& path, int rate = 0);
    // The same list as libavformat gives it, for files an own reader reads
    // (MP4 chapters without libavformat's index of every sample).
    static std::vector<Chapter> ReadWithLibav(const QString& path, int rate = 0);
};
