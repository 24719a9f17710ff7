#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

// The peaks of a whole file at every zoom: per lane (channel) the lowest and
// highest sample of each bin, in levels whose bins grow by LevelFactor. The
// finest level is fine enough to draw a few seconds across a wide window;
// below that the view decodes the stretch it shows. Built block by block
// while the file is decoded once, then read from any thread.
class PeakPyramid {
public:
    static constexpr int MaxLanes = 8;
    static constexpr int LevelFactor = 4;
    // The finest bin, and the size the finest level may reach before its
    // bins get longer: a 13-hour stereo file stays well under 50 MB.
    static constexpr long long MinBinFrames = 256;
    static constexpr std::size_t FinestLevelBudget = std::size_t{30} << 20;

    // Full scale is 32767.
    struct Peak {
        std::int16_t low = 0;
        std::int16_t high = 0;
        bool operator==(const Peak&) const = default;
    };

    PeakPyramid() = default;
    // Ready for `frames` frames (a guess is fine) of `channels` channels;
    // channels past MaxLanes share the last lane.
    PeakPyramid(long long frames, int channels);

    // Appends interleaved frames of the channel count given above.
    void add(const float* interleaved, int frames);
    // Closes the last bin and builds the coarser levels.
    void finish();

    int lanes() const { return lanes_; }
    long long frames() const { return frames_; }
    int levels() const { return static_cast<int>(levels_.size()); }
    long long binFrames(int level) const;
    std::size_t bins(int level) const;
    // Bin `bin` of lane `lane` at `level`.
    Peak at(int level, int lane, std::size_t bin) const;

    // The finest bin length for a file, from its length and lanes.
    static long long BinFramesFor(long long frames, int lanes);

    // One peak per column: column x spans frames [first + x × perColumn,
    // first + (x + 1) × perColumn), read from the coarsest level whose bins
    // are no longer than a column. Columns outside the file are empty.
    void columns(int lane, double first, double perColumn, int count, std::vector<Peak>& out) const;

    std::size_t bytes() const;

private:
    void closeBin();

    int channels_ = 0;
    int lanes_ = 0;
    long long frames_ = 0;
    long long binFrames_ = MinBinFrames;
    long long inBin_ = 0;
    // The bin being filled, one extreme of each per lane.
    std::vector<float> openLow_;
    std::vector<float> openHigh_;
    // levels_[k] holds bins × lanes peaks, lane by lane within a bin.
    std::vector<std::vector<Peak>> levels_;
};
