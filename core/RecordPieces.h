#pragma once

#include "core/PieceTags.h"
#include "core/TitledPiece.h"

#include <QString>

#include <cstddef>
#include <cstdint>
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

    // Piece `k` of `marked` in a source of `frames` frames at `rate`: the
    // same times, so the same frames in the file it was marked on.
    static TitledPiece At(const listrecord& marked, size_t k, std::int32_t rate,
                          std::int64_t frames);

    // Piece `k` of the record's pieces as it is cut: a titled piece without
    // a number of its own (one marked by hand) is numbered by its place, n
    // of the record's N; an untitled one has no number.
    static TitledPiece Numbered(const listrecord& record, size_t k);

    // Numbers `pieces` n/N in their order.
    static void Number(std::vector<TitledPiece>& pieces);

    // Exact pieces from another program (a cue sheet's tracks, labels,
    // chapters) become the record's pieces, numbered as they come, with the
    // sheet's own tags; the whole-second segments follow them.
    static void Adopt(listrecord& record, std::vector<TitledPiece> pieces, const PieceTags& sheet);
    // The working segment joins the record's pieces at the frames its whole
    // seconds stand for, numbered after the last. Only for a record with
    // pieces.
    static void ConfirmWorking(listrecord& record);
    // Takes confirmed row `row` out of the record's pieces; the others keep
    // their own numbers, and those numbered by their place move up.
    static void Remove(listrecord& record, int row);
    // Gives confirmed row `row` its title; a record of whole-second segments
    // takes them as pieces first. False for the working row or a row the
    // record does not have.
    static bool SetTitle(listrecord& record, int row, const QString& title);
    // Gives confirmed row `row` its own artist, likewise.
    static bool SetArtist(listrecord& record, int row, const QString& artist);
    // A new piece at frames [begin, end), in time order among the others,
    // which keep their numbers; a record of whole-second segments takes them
    // as pieces first. The new piece is one marked by hand, without a number
    // of its own, unless it follows every piece of a numbered record: then
    // it is numbered after the last, as a confirmed working segment is.
    // Returns its row, or -1 when the range is empty.
    static int Insert(listrecord& record, std::int64_t begin, std::int64_t end);
    // Moves confirmed row `row` to frames [begin, end), likewise. False when
    // the range is empty or the row is not there.
    static bool SetRange(listrecord& record, int row, std::int64_t begin, std::int64_t end);
};
