#pragma once

#include "core/PieceTags.h"
#include "core/TitledPiece.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// A cue sheet: the tracks of one or several audio files, each starting at
// its INDEX 01 (mm:ss:ff, 75 cue frames a second) and running to the next
// track's INDEX 01 in the same file, or to the file's end. INDEX 00 (the
// pregap) does not cut: on a disc the gap plays at the end of the track
// before. The audio before a file's first INDEX 01 (the pregap of track 1,
// on some discs a hidden track) goes as `Pregap` says. Pieces that do not
// follow on each other are written with an end of their own,
// "REM END mm:ss:ff", which other programs skip as a remark.
//
// A value runs to the end of its line, as sheets from every program are
// written: a quoted one to the line's last quote (or its end when the
// quote is not closed), so quotes inside it stay; an unquoted one is the
// rest of the line, trimmed.
class CueSheet {
public:
    // Where the audio before a file's first track goes: into that track,
    // which then starts at the file's start; into a piece of its own,
    // numbered 0; or nowhere.
    enum class Pregap { First, Own, Drop };

    struct Track {
        // TITLE, PERFORMER, SONGWRITER, ISRC, REM COMMENT, the track's number
        PieceTags tags;
        std::int64_t start = 0; // INDEX 01, in cue frames
        std::int64_t end = -1;  // REM END in cue frames; -1 when none
        bool operator==(const Track&) const = default;
    };
    struct File {
        QString name; // as the sheet writes it
        std::vector<Track> tracks;
        // The TITLE of a TRACK 00 that has no INDEX 01: the name of the
        // audio before the first track.
        QString pregapTitle;
        bool operator==(const File&) const = default;
    };

    // TITLE as album, PERFORMER as artist, SONGWRITER, CATALOG, REM DATE,
    // REM GENRE, REM COMMENT, REM DISCNUMBER and REM TOTALDISCS.
    PieceTags disc;
    std::vector<File> files;
    // The encoding the sheet was read in, as TextEncoding names it; empty
    // for a sheet parsed from text.
    QString encoding;

    bool operator==(const CueSheet&) const = default;

    // Reads a sheet, skipping commands it does not use. Throws Error naming
    // the line of what it cannot read: a track without INDEX 01, a time that
    // is not mm:ss:ff, tracks out of order.
    static CueSheet Parse(const QString& text);
    // Reads the sheet at `path` in the encoding found, or in `encoding` when
    // it is not empty.
    static CueSheet Read(const QString& path, const QString& encoding = QString());

    // The sheet's FILE that stands for `sourcePath`: the same file name (in
    // any case), else the same name without extension (a sheet made for a
    // WAV image cuts its FLAC copy), else the only FILE a sheet has. -1 when
    // none fits.
    int fileFor(const QString& sourcePath) const;
    // The pieces of FILE `file` in a source of `frames` frames at `rate`,
    // numbered n/N across the whole sheet, N the count of tracks or the
    // highest number where that is more. Tracks that begin at or past the
    // source's end are left out, each named in `warnings`.
    std::vector<TitledPiece> pieces(int file, std::int32_t rate, std::int64_t frames,
                                    Pregap pregap = Pregap::First,
                                    QStringList* warnings = nullptr) const;

    // A sheet of one FILE for `pieces` of `sourcePath`, each time rounded to
    // the nearest cue frame.
    static CueSheet Of(const QString& sourcePath, const PieceTags& disc,
                       std::vector<TitledPiece> pieces, std::int32_t rate, std::int64_t frames);
    QString text() const;
};
