#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// A mono 16-bit WAV of any length made cheaply: an RF64 header (its sizes
// may pass 4 GB) over a sparse file of silence, with a short stretch of real
// signal at a chosen frame. Only the header and the signal take disk space,
// so a 13-hour file costs a few hundred kilobytes and no time to write.
struct SparseWav {
    int rate = 48000;
    std::int64_t frames = 0;
    std::int64_t signalAt = 0;        // the frame the signal starts at
    std::vector<std::int16_t> signal; // samples, written as they are

    // Writes the file. Returns why it could not be made (too little room,
    // or a file system that allocates the silence) and then leaves no file
    // behind; empty when it was made.
    QString write(const QString& path) const;

    // A cosine of `frequency` Hz lasting `seconds`, at `amplitude` of full
    // scale: its first sample is its peak, never 0, so where it starts shows.
    static std::vector<std::int16_t> Cosine(int rate, double seconds, double frequency,
                                            double amplitude);
};
