#pragma once

#include <QString>

// The tag record of one source file: what its outputs are tagged with.
struct AudioFileinfo {
    QString Title;
    QString Artist;
    QString Year;
    QString Album;
    QString Comment;
    QString Genre;
    // "n/N" for a piece that has a number of its own; empty otherwise.
    QString Track;
    // "n/N" or "n" for a piece of a numbered disc; empty otherwise.
    QString Disc;
};
