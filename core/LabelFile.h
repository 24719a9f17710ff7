#pragma once

#include "core/TitledPiece.h"

#include <QString>

#include <cstdint>
#include <vector>

// A label file as the audio editors export it: one label a line,
// "start<TAB>end<TAB>label", times in seconds with decimals written with a
// "." whatever the locale. A region label (start < end) is a piece; a point
// label (start == end) is a cut point, where a piece named after it begins.
// Lines starting with "\" (the frequency range of the label above) are
// skipped.
class LabelFile {
public:
    // The pieces of a source of `frames` frames at `rate`, in file order, each
    // time at its nearest frame. With point labels only, they cut the whole
    // source (a stretch before the first point is a piece without a title);
    // among region labels, a point label cuts the region it lies in, and one
    // in a gap between them starts a piece that runs to the next label (or
    // the source's end). Pieces come in the order they begin. Throws Error
    // naming the line that is not a label.
    static std::vector<TitledPiece> Parse(const QString& text, std::int32_t rate,
                                          std::int64_t frames);
    static std::vector<TitledPiece> Read(const QString& path, std::int32_t rate,
                                         std::int64_t frames);

    // One region label a piece, times to the microsecond, which brings every
    // frame back at any rate up to 500 kHz.
    static QString Text(const std::vector<TitledPiece>& pieces, std::int32_t rate);
    // Seconds with six decimals: frame 1 at 44100 Hz is "0.000023".
    static QString Seconds(std::int64_t frame, std::int32_t rate);

private:
    // Adds the pieces that points outside every region start; `points` are
    // in the order they begin.
    static void cutGaps(std::vector<TitledPiece> regions, const std::vector<TitledPiece>& points,
                        std::int64_t frames, std::vector<TitledPiece>& pieces);
};
