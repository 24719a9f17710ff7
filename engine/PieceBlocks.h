#pragma once

#include <QString>

#include <cstdint>
#include <functional>

class IAudioFile2;
class LoudnessMeter;
class IAudioTransform2;

// How one piece of a split run goes from the reader to the writer: a second
// of audio at a time, the fade-in and the fade-out each as one block of their
// own length. The run's serial loop and its workers share it, so a piece
// comes out the same wherever it is written.
class PieceBlocks {
public:
    struct Piece {
        QString source;          // named in read errors
        std::int64_t start = 0;  // the source frame the piece starts at
        std::int64_t length = 0; // frames
        std::int32_t rate = 0;
        std::int32_t channels = 0;
        // Frames, 0 meaning no fade; each is read as one block, so neither
        // may pass what one read takes (INT32_MAX frames).
        std::int64_t fadeInLen = 0;
        std::int64_t fadeOutLen = 0;
        // Measures the audio as it is written, when not null.
        LoudnessMeter* meter = nullptr;
    };

    // Asked before every block; false ends the piece where it is, as a
    // complete file.
    using KeepGoing = std::function<bool()>;
    // Told the frames done after every block read.
    using Progress = std::function<void(std::int64_t done)>;

    // Copies the piece, exactly its length as planned, from `reader`, positioned at its start, into
    // the open `writer`. A read that ends before the source does throws Error naming the
    // source and the second.
    static void Copy(const Piece& piece, IAudioFile2& reader, IAudioFile2& writer,
                     IAudioTransform2& transform, const KeepGoing& keepGoing,
                     const Progress& progress);
};
