#pragma once

#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <vector>

// Five seconds of audio with chapters at Starts (milliseconds, on cue
// frames so a FLAC cue sheet holds them too), as other programs store them:
// Vorbis comments (oggenc), Opus comments (opusenc), ID3v2 CHAP frames and
// MP4 chapters (FFmpeg: a chapter track and Nero chapters, each alone and
// both), a FLAC CUESHEET block (flac, metaflac). Made once per test
// program, on first use.
class ChapterFiles {
public:
    static constexpr std::int64_t Starts[] = {0, 1400, 3200};
    static const QString Titles[3];

    struct File {
        QString name;
        QString path;
        QString skipped; // a program it needs is missing
        QString failure;
        int rate = 0;
        bool titled = true; // a FLAC cue sheet has no titles
        bool mp4 = false;
    };

    static const ChapterFiles& Shared();
    const std::vector<File>& files() const { return files_; }
    // The frame of chapter `i` at `rate`.
    static std::int64_t StartFrame(int i, int rate);

private:
    ChapterFiles();

    QTemporaryDir dir_;
    std::vector<File> files_;
};
