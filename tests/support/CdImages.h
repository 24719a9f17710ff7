#pragma once

#include <QByteArray>
#include <QString>
#include <QTemporaryDir>

#include <cstdint>
#include <vector>

// CD images as rippers leave them: twelve seconds of real music with a
// sheet of three tracks (a pregap before track 1, INDEX 00 before track 2,
// SONGWRITER, ISRC, REM COMMENT, CATALOG), carried inside the audio file:
// a FLAC CUESHEET block from metaflac (no titles), the same with the sheet
// as a CUESHEET comment too, an Ogg Vorbis CUESHEET comment (oggenc) and a
// WavPack APE tag (FFmpeg). The block-only FLAC carries a front cover of its
// own; beside the others lies "Folder.JPG", another picture. Made once per
// test program, on first use.
class CdImages {
public:
    static constexpr int Rate = 44100;
    static constexpr std::int64_t Frames = 12LL * Rate;
    // Where each track's INDEX 01 and INDEX 00 fall, in frames.
    static constexpr std::int64_t Index01[3] = {Rate, 5 * Rate + 30 * 588, 9 * Rate};
    static constexpr std::int64_t Index00[3] = {0, 4 * Rate, -1};
    static const QString Titles[3];
    static const QString Isrc[3];

    struct File {
        QString name;
        QString path;
        QString skipped; // a program it needs is missing
        QString failure;
        bool titled = true; // the block alone has no titles
        bool ownCover = false;
    };

    static const CdImages& Shared();
    const std::vector<File>& files() const { return files_; }
    // The sheet as a file beside the images, and its text.
    QString sheetPath() const;
    static QByteArray SheetText();
    // The pictures: the block-only FLAC's own, and the one beside the images.
    QByteArray ownCover() const { return ownCover_; }
    QByteArray folderCover() const { return folderCover_; }

private:
    CdImages();

    QTemporaryDir dir_;
    std::vector<File> files_;
    QByteArray ownCover_;
    QByteArray folderCover_;
};
