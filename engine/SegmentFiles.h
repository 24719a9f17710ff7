#pragma once

#include "core/CueSheet.h"
#include "core/PieceTags.h"
#include "core/TitledPiece.h"
#include "engine/PiecePlan.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <vector>

// Segments handed over from and to other programs: a cue sheet (".cue") or
// an audio editor's label file (any other name), and the chapters inside a
// source. Positions are frames of a source of `frames` frames at `rate`.
class SegmentFiles {
public:
    // Whether `path` names a cue sheet rather than a label file.
    static bool IsCueSheet(const QString& path);
    // Whether `path` names a cue sheet or a label file (".txt"), by its name.
    static bool IsSheet(const QString& path);

    // How a cue sheet is read: in `encoding` when it is not empty, else in
    // the one found; the audio before its first track as `pregap` says.
    struct CueChoices {
        QString encoding;
        CueSheet::Pregap pregap = CueSheet::Pregap::First;
    };
    // A sheet's pieces, numbered n/N; for a cue sheet its own TITLE,
    // PERFORMER, date, genre and disc number, the encoding it was read in,
    // and a line for each track it marks that is not in the source.
    struct Imported {
        std::vector<TitledPiece> pieces;
        PieceTags disc;
        QString encoding;
        QStringList warnings;
    };
    // Throws Error when the file cannot be read, or a cue sheet names no
    // file that stands for the source.
    static Imported ImportSheet(const QString& sheetPath, const QString& sourcePath,
                                std::int32_t rate, std::int64_t frames, const CueChoices& choices);
    // The pieces of the cue sheet `sourcePath` carries inside (see
    // EmbeddedCueSheet), read as ImportSheet reads a sheet file. Throws Error
    // when it carries none, or the sheet cannot be read.
    static Imported ImportEmbedded(const QString& sourcePath, std::int32_t rate,
                                   std::int64_t frames, CueSheet::Pregap pregap);
    // Whether `sourcePath` carries a cue sheet; false too when it cannot be read.
    static bool HasEmbeddedSheet(const QString& sourcePath);
    // The pieces `sheetPath` marks in `sourcePath`, numbered n/N. For a cue
    // sheet, `disc` receives its own TITLE, PERFORMER, date and genre. Throws
    // Error when the file cannot be read, or a cue sheet names no file that
    // stands for the source.
    static std::vector<TitledPiece> Import(const QString& sheetPath, const QString& sourcePath,
                                           std::int32_t rate, std::int64_t frames,
                                           PieceTags* disc = nullptr);
    // The source's own chapters as pieces, numbered n/N; a chapter without
    // an end, or one past the next chapter, runs to the next one. A source
    // that carries a cue sheet gives that sheet's tracks instead, each from
    // its INDEX 01. Empty when it has none.
    static std::vector<TitledPiece> Chapters(const QString& sourcePath, std::int32_t rate,
                                             std::int64_t frames);
    // The planned pieces a sheet holds, numbered n/N: each with the tags of
    // its row in `marked` where there is one, else with its planned title.
    static std::vector<TitledPiece> OfPlan(const std::vector<PiecePlan::Piece>& pieces,
                                           const std::vector<TitledPiece>& marked);
    // Writes `pieces` of `sourcePath` to `sheetPath`, replacing it whole or
    // not at all. Throws Error when it cannot be written.
    static void Export(const QString& sheetPath, const QString& sourcePath,
                       const std::vector<TitledPiece>& pieces, const PieceTags& disc,
                       std::int32_t rate, std::int64_t frames);
};
