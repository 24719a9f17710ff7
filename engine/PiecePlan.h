#pragma once

#include "engine/SilenceFinder.h"

#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

struct AppState;
struct RunOptions;
struct listrecord;
struct TitledPiece;

// Which pieces a function cuts from one source, and where exactly, in frames
// of that source. The runs (split and join), the listing of a dry run, the
// segment list, the total length and the waveform all take their pieces from
// here, so what is shown is what is written. The mode is chosen here alone:
// where a run differs by mode, it asks the plan.
class PiecePlan {
public:
    // How the files are cut: their own segments (or marked pieces), pieces of
    // a length, a number of pieces, the first file's segments cut from every
    // file, or the sound between silences.
    enum class Mode { Custom, Time, Count, Unified, Silence };

    // The choices the modes read: split length and count, cuts moved to
    // silences, the shortest piece between silences, and the fades (a custom
    // piece's left-out tail depends on them). A run's options hold them.
    struct Choices {
        std::int32_t splitSeconds = 60;
        std::int32_t splitCount = 6;
        bool snapToSilence = false;
        std::int32_t snapSeconds = 10;
        std::int32_t silenceMinimumPiece = 5;
        bool fadeIn = false;
        bool fadeOut = false;
        std::int32_t fadeInSeconds = 5;
        std::int32_t fadeOutSeconds = 5;

        static Choices Of(const AppState& state);
    };

    // The mode and the choices it reads, from the window's state or from a
    // run's options.
    struct Function : Choices {
        Mode mode = Mode::Custom;

        static Function Of(const AppState& state);
        static Function Of(Mode mode, const RunOptions& options);
    };

    // The mode of a stored function choice; none for a value no function
    // has. The window's listing takes such a value as Custom; the commands
    // run nothing.
    static std::optional<Mode> ModeOf(std::int32_t functionChoice);
    // The mode of the state's function as the window shows it.
    static Mode ModeIn(const AppState& state);
    // The source as its record knows it.
    struct Source {
        std::int32_t rate = 0;
        std::int64_t frames = 0;
        // The length in whole seconds, as lists show it: a range that
        // reaches it runs on to the last frame.
        std::int32_t seconds = 0;
        // A custom piece is written in blocks of a second of samples and
        // leaves out a tail of fewer than CustomTail frames; without the
        // channel count (0) that tail is not known and stays in.
        std::int32_t channels = 0;

        static Source Of(const listrecord& record, std::int32_t channels = 0);
        // The length in milliseconds, as the decoders give it.
        std::int64_t durationMs() const;
    };

    struct Piece {
        int row = 0;            // its row on the segment list
        std::int64_t begin = 0; // first frame
        std::int64_t end = 0;   // the frame after the last
        // Where the cut at its end went when cuts move to silences; shown
        // on its row.
        QString cutNote;
        // Why nothing is written for it; empty when it is written.
        QString leftOut;
        // The piece's own title; empty: it takes the source's.
        QString title;

        bool written() const { return end > begin; }
        std::int64_t frames() const { return written() ? end - begin : 0; }
        bool operator==(const Piece&) const = default;
    };

    // Frames at the rate of a piece's fades, 0 when a fade is off; a custom
    // piece's left-out tail depends on them.
    struct Fades {
        std::int64_t in = 0;
        std::int64_t out = 0;
        static Fades Of(const Function& function, std::int32_t rate);
    };

    static constexpr std::int32_t CustomTail = 100;
    static inline const QString NoLength = QStringLiteral("no length");
    static inline const QString PastEnd = QStringLiteral("begins after the file's end");

    // The pieces `function` cuts from file `file` of `jobs`, the source
    // `source` (unification cuts the first file's segments), with the
    // segments as the segment editor holds them: of several, the last is the
    // working segment and is not cut; `file` matters to those two alone.
    // The silence functions need the source's silences (NeedsSilences).
    static std::vector<Piece> Of(const Function& function, const std::vector<listrecord>& jobs,
                                 int file, const Source& source,
                                 const std::vector<Silence>& silences = {});
    // The same for the state's function and files.
    static std::vector<Piece> Of(const AppState& state, int file, const Source& source,
                                 const std::vector<Silence>& silences = {});

    // The first `count` segments of `record`, as the custom function cuts
    // them.
    static std::vector<Piece> Custom(const Source& source, const listrecord& record, int count,
                                     const Fades& fades);
    // Pieces marked at exact frames, each with its title; rows in their
    // order.
    static std::vector<Piece> Titled(const Source& source, const std::vector<TitledPiece>& marked);
    // Unification: the first `count` segments of `shared`; one that begins
    // after the source's end leaves it and those after it out.
    static std::vector<Piece> Unified(const Source& source, const listrecord& shared, int count);
    static std::vector<Piece> Time(const Source& source, std::int32_t seconds);
    // Equal pieces of whole seconds; what is left over is not written.
    static std::vector<Piece> Count(const Source& source, std::int32_t count);
    // The sound between silences, and time cuts moved to silences.
    static std::vector<Piece> AtSilences(const Source& source, const std::vector<Silence>& silences,
                                         std::int64_t minPieceMs);
    static std::vector<Piece> TimeAtSilences(const Source& source,
                                             const std::vector<Silence>& silences,
                                             std::int64_t pieceMs, std::int64_t windowMs);

    // How many of a record's segments are cut: one is cut as it is; of
    // several, the working one is not.
    static int CutSegments(const listrecord& record);

    // What differs by mode besides the pieces:
    // Whether the function cuts at silences, which must be found first.
    static bool NeedsSilences(const Function& function);
    static bool NeedsSilences(const AppState& state);
    // Whether the pieces are segments marked by the user (custom and
    // unification), rather than cut by length, count or silences; a join of
    // the other modes takes whole files.
    static bool CutsSegments(Mode mode);
    // Whether every file is cut by the first file's segments and marks,
    // titles included.
    static bool SharesSegments(Mode mode);
    // Whether a run shows a file's rows as its planned pieces, rather than as
    // its segments (its own, or the first file's shown once for all).
    static bool RowsArePieces(Mode mode, const listrecord& record);
    // Whether output names number from the first piece on (song_1, song_2
    // ...); the custom function names the first piece as the source.
    static bool NamesFromOne(Mode mode);
    // Why file `name` (`seconds` long) whose pieces are all empty gave
    // nothing to write.
    static QString NothingToWrite(const Function& function, const QString& name,
                                  std::int32_t seconds, const std::vector<Piece>& pieces);
};
