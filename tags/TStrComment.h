#pragma once

#include <QString>

#include <vector>

// One Vorbis comment split at its first "=". A comment without a valid name
// has an empty Name and the whole text as Value.
struct TStrComment {
    QString Name;
    QString Value;
    QString Entry; // Name + "=" + Value, or Value alone when Name is empty
};

// The comments of one block, in the block's order.
using TStrComments = std::vector<TStrComment>;
