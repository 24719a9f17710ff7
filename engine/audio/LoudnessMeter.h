#pragma once

#include "engine/audio/SampleArray.h"

#include <QString>

#include <memory>
#include <vector>

// The loudness of audio as it goes into an output, by EBU R128 (libebur128):
// the integrated loudness in LUFS and the sample peak. Fed block by block
// while the audio is encoded, so measuring costs no pass of its own.
class LoudnessMeter {
public:
    // Throws Error for a rate or channel count the measure does not take.
    LoudnessMeter(int rate, int channels);
    ~LoudnessMeter();
    LoudnessMeter(const LoudnessMeter&) = delete;
    LoudnessMeter& operator=(const LoudnessMeter&) = delete;

    void add(const SampleArray& block);
    // -infinity for silence or nothing measured.
    double loudness() const;
    // The highest sample, as a fraction of full scale.
    double peak() const;

    // The loudness of all the meters' audio as one programme (an album),
    // gated as a whole.
    static double Loudness(const std::vector<const LoudnessMeter*>& meters);
    // Measures a finished file by decoding it (a copied piece, whose
    // packets were never decoded). Throws Error when it cannot be read.
    static std::unique_ptr<LoudnessMeter> OfFile(const QString& path);

private:
    struct State; // owns the libebur128 state
    std::unique_ptr<State> state_;
    int channels_ = 0;
};
