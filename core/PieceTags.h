#pragma once

#include <QString>

struct AudioFileinfo;

// The tags of one piece cut from a source, or of a whole cue sheet (its
// TITLE is the album, its PERFORMER the artist). A track or disc number of 0
// means none; a count of 0 means unknown.
struct PieceTags {
    QString title;
    QString artist;
    QString album;
    QString date;
    QString genre;
    int track = 0;
    int tracks = 0;
    int discNumber = 0;
    int discTotal = 0;
    // What a library needs besides: SONGWRITER, REM COMMENT, the track's
    // ISRC and the disc's CATALOG (its barcode).
    QString composer;
    QString comment;
    QString isrc;
    QString catalog;

    bool operator==(const PieceTags&) const = default;

    // What a piece is tagged with: its own title, performer and number; the
    // sheet's TITLE as album, else the source's; the piece's performer, else
    // the sheet's, else the source's artist; date and genre from the sheet
    // where it gives them, else from the source; the disc number the piece's,
    // else the sheet's; composer and comment the piece's, else the sheet's;
    // the ISRC the piece's, the catalog number the sheet's. A piece without
    // a title keeps the source's.
    static PieceTags Derive(const PieceTags& piece, const PieceTags& sheet,
                            const AudioFileinfo& source);
    // The tag record the writers take: these tags, with the source's comment.
    AudioFileinfo fileinfo(const AudioFileinfo& source) const;
};
