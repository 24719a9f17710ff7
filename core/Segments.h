#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>
#include <optional>
#include <vector>

struct listrecord;

// Texts of the "Status" column of the segment list.
namespace SegmentStatus {
inline const QString Uncertain = QStringLiteral("Uncertain"); // the working segment
inline const QString Confirmed = QStringLiteral("OK");        // confirmed, list rebuilt
inline const QString JustConfirmed = QStringLiteral("Ok");    // confirmed just now
inline const QString Unconvert = QStringLiteral("Unconvert"); // a computed piece
inline const QString Playing = QStringLiteral("Playing");
inline const QString Converting = QStringLiteral("Converting");
inline const QString Finish = QStringLiteral("Finish");
} // namespace SegmentStatus

// The arithmetic of segments and pieces, in whole seconds: what the segment
// editor shows and the runs cut, with nothing drawn.
class Segments {
public:
    // One begin-end range in whole seconds.
    struct Piece {
        std::int32_t begin = 0;
        std::int32_t end = 0;
        bool operator==(const Piece&) const = default;
    };

    // The pieces of the two split functions. A length or count below 1 (only
    // possible from a hand-edited settings file) counts as 1; a count above
    // MaxCountPieces counts as that many, so an absurd count cannot exhaust
    // memory (past the file's length in seconds every piece is empty anyway).
    static constexpr std::int32_t MaxCountPieces = 100000;
    static std::vector<Piece> TimePieces(std::int32_t duration, std::int32_t seconds);
    static std::vector<Piece> CountPieces(std::int32_t duration, std::int32_t count);
    // Caption, length and status of one row.
    static QStringList SegmentRow(std::int32_t begin, std::int32_t end, const QString& status);
    // The same for a piece cut between two times in milliseconds, shown to
    // the hundredth where they fall between whole seconds. The length is
    // the difference of the two times as shown, so the rows of pieces that
    // follow one another never overlap and their lengths add up.
    static QStringList SegmentRowMs(std::int64_t beginMs, std::int64_t endMs,
                                    const QString& status);
    // The frame a typed time names at `rate`: "1:02:03.25", "4:17.69",
    // "75.5" (a decimal comma too); none when the text is no such time.
    static std::optional<std::int64_t> FrameOfClock(const QString& text, std::int32_t rate);
    // Makes the segment count agree with the time arrays (at least one
    // segment, never more than the arrays hold).
    static void Normalise(listrecord& record);
};
