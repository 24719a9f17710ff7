#pragma once

#include <QString>

#include <vector>

// What a split run made of each piece it started, in the order the pieces
// ended; a join reports its one output as a piece of file 0, row 0. Front ends report from it,
// never from what the output folder holds.
struct RunOutcome {
    enum class Status {
        Written, // complete under its final name
        Failed,  // nothing of it is left; `problem` says why
        LeftOut, // stopped before any audio: no file was kept
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
    };

    std::vector<Piece> pieces;

    std::vector<Piece> written() const {
        std::vector<Piece> out;
        for (const Piece& piece : pieces)
            if (piece.status == Status::Written)
                out.push_back(piece);
        return out;
    }
};
