#pragma once

#include "core/PieceTags.h"
#include "core/TitledPiece.h"

#include <QString>

#include <cstdint>
#include <vector>

// A cue sheet: the tracks of one or several audio files, each starting at
// its INDEX 01 (mm:ss:ff, 75 cue frames a second) and running to the next
// track's INDEX 01 in the same file, or to the file's end. INDEX 00 (the
// pregap) does not cut: on a disc the gap plays at the end of the track
// before. Pieces that do not follow on each other are written with an end
// of their own, "REM END mm:ss:ff", which other programs skip as a remark.
class CueSheet {
public:
    struct Track {
        PieceTags tags;         // TITLE, PERFORMER, the track's number
        std::int64_t start = 0; // INDEX 01, in cue frames
        std::int64_t end = -1;  // REM END in cue frames; -1 when none
        bool operator==(const Track&) const = default;
    };
    struct File {
        QString name; // as the sheet writes it
        std::vector<Track> tracks;
        bool operator==(const File&) const = default;
    };

    // TITLE as album, PERFORMER as artist, REM DATE, REM GENRE.
    PieceTags disc;
    std::vector<File> files;

    bool operator==(const CueSheet&) const = default;

    // Reads a sheet, skipping commands it does not use. Throws Error naming
    // the line of what it cannot read: a track without INDEX 01, a time that
    // is not mm:ss:ff, tracks out of order, an open quote.
    static CueSheet Parse(const QString& text);
    static CueSheet Read(const QString& path);

    // The sheet's FILE that stands for `sourcePath`: the same file name (in
    // any case), else the same name without extension (a sheet made for a
    // WAV image cuts its FLAC copy), else the only FILE a sheet has. -1 when
    // none fits.
    int fileFor(const QString& sourcePath) const;
    // The pieces of FILE `file` in a source of `frames` frames at `rate`,
    // numbered n/N across the whole sheet. Tracks past the source's end are
    // left out.
    std::vector<TitledPiece> pieces(int file, std::int32_t rate, std::int64_t frames) const;

    // A sheet of one FILE for `pieces` of `sourcePath`, each time rounded to
    // the nearest cue frame.
    static CueSheet Of(const QString& sourcePath, const PieceTags& disc,
                       std::vector<TitledPiece> pieces, std::int32_t rate, std::int64_t frames);
    QString text() const;
};
