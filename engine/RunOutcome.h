#pragma once

#include <QString>

#include <cstdint>
#include <exception>
#include <vector>

// What a split run made of each piece it planned, in the order the pieces
// ended; pieces never started after a failure or a stop follow as left out.
// A join reports its one output as a piece of file 0, row 0, with the ranges
// of the sources it holds. Front ends report from it, never from what the
// output folder holds.
struct RunOutcome {
    enum class Status {
        Written, // complete under its final name
        Failed,  // nothing of it is left; `problem` says why
        LeftOut, // stopped before any audio, or never started: no file was kept
        Planned, // a dry run's: what a run would make of it
    };
    // Source frames [begin, end) of file `file`, segment row `row`.
    struct Range {
        int file = -1;
        int row = -1;
        std::int64_t begin = 0;
        std::int64_t end = 0;
        std::int32_t rate = 0; // of that source
        bool operator==(const Range&) const = default;
    };
    struct Piece {
        int file = -1; // row of the file list
        int row = -1;  // row of the segment list
        QString path;  // the output under its final name; empty when none was kept
        // How it was made: "copied", "re-encoded (fade)", empty when copying
        // was not in question.
        QString note;
        Status status = Status::Written;
        QString problem;    // why it failed
        QString tagFailure; // why its tags could not be written; empty when they were
        // The source frames it holds: as planned, and for a piece cut short
        // by Stop, up to where it stopped.
        std::int64_t begin = 0;
        std::int64_t end = 0;
        std::int32_t rate = 0; // of the source, so frames can be told as times
        QString planned;       // the name chosen for it before it was written
        QString title;         // its own title; empty when it takes the source's
        int track = 0;         // its number in a numbered set, 0 when none
        int tracks = 0;
        // Where its end cut went when cuts move to silences.
        QString cut;
        // A join: what of each source it holds, in order.
        std::vector<Range> joined;

        // Where it is, or would have been.
        const QString& where() const { return path.isEmpty() ? planned : path; }
    };

    std::vector<Piece> pieces;

    // What the user is told at the end of the run, in order.
    struct Message {
        enum class Kind { Warning, Information };
        Kind kind = Kind::Warning;
        QString text;
        bool operator==(const Message&) const = default;
    };
    std::vector<Message> messages;
    // What ended the run early; null when it ran to its end or was stopped.
    std::exception_ptr failure;

    std::vector<Piece> written() const {
        std::vector<Piece> out;
        for (const Piece& piece : pieces)
            if (piece.status == Status::Written)
                out.push_back(piece);
        return out;
    }
};
