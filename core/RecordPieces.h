#pragma once

#include "core/TitledPiece.h"

#include <vector>

struct listrecord;

// A job record's marked segments as frame ranges, and back. The record holds
// whole seconds: a range read from elsewhere widens to the whole seconds
// around it, so no frame of it is lost.
class RecordPieces {
public:
    // The confirmed segments (all but the working one), in order.
    static std::vector<TitledPiece> Marked(const listrecord& record);
    // Replaces the record's segments by `pieces`, confirmed, followed by a
    // fresh working segment over the whole file.
    static void SetMarked(listrecord& record, const std::vector<TitledPiece>& pieces);
};
