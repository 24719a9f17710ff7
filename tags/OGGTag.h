#pragma once

#include <QString>

// The Vorbis comments the program reads from its sources and writes into its
// Ogg outputs.
struct OGGTag {
    QString Album;
    QString Title;
    QString Artist;
    QString Comment;
    QString Genre;
    QString Date;
    QString TrackNumber;
    // Written only: players read the counts and the disc from fields of
    // their own.
    QString TrackTotal;
    QString DiscNumber;
    QString DiscTotal;
};
