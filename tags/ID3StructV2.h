#pragma once

#include <QString>

// The texts of an MP3 output's ID3v2 tag, in the order the record keeps them
// (the frames are written in another order).
struct ID3StructV2 {
    QString Title;
    QString Artist;
    QString Album;
    QString Year;
    QString Track;
    QString Comment;
    QString Genre;
    // "n/N" of a numbered disc (TPOS); without it the tag has no such frame.
    QString Disc;
};
