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
};
