#pragma once

#include <cstdint>

// Where a time in a source lies among its frames. Second t is frame
// t × rate of the source, in every run, preview and display; nothing goes
// through a length in whole milliseconds or seconds on the way.
class FramePosition {
public:
    // The frame at `seconds`, within a source of `frames` frames.
    static std::int64_t OfSeconds(std::int64_t seconds, std::int32_t rate, std::int64_t frames);
    // The frame nearest to `ms` milliseconds, within the source.
    static std::int64_t OfMilliseconds(std::int64_t ms, std::int32_t rate, std::int64_t frames);
    // Where a range that ends at `seconds` ends. The length in whole seconds
    // that lists show stops short of the last frames, so a range that
    // reaches it runs on to the source's last frame.
    static std::int64_t EndOfSeconds(std::int64_t seconds, std::int32_t wholeSeconds,
                                     std::int32_t rate, std::int64_t frames);
    // Where `frame` lies, in seconds; 0 at an unknown rate.
    static double Seconds(std::int64_t frame, std::int32_t rate);
    // The whole seconds before `frame`, as a clock shows it; 0 at an unknown
    // rate.
    static std::int64_t WholeSeconds(std::int64_t frame, std::int32_t rate);
    // Where `frame` lies in whole milliseconds, rounded down, as listings and
    // rows show it; 0 at an unknown rate.
    static std::int64_t Milliseconds(std::int64_t frame, std::int32_t rate);
    // Where `frame` lies in `perSecond`ths of a second, to the nearest (a
    // half rounds up), as sheets and label files write times; 0 at an
    // unknown rate.
    static std::int64_t Nearest(std::int64_t frame, std::int32_t rate, std::int64_t perSecond);
    // Frames in `seconds` of audio at `rate`, for fades.
    static std::int64_t Frames(std::int64_t seconds, std::int32_t rate);

    // Cue sheets count time in 75ths of a second ("cue frames"): mm:ss:ff is
    // cue frame (mm × 60 + ss) × 75 + ff, and lies at frame
    // (mm × 60 + ss) × rate + ff × rate / 75, rounded down.
    static constexpr std::int64_t CueFramesPerSecond = 75;
    static std::int64_t OfCueFrames(std::int64_t cueFrames, std::int32_t rate);
    // The cue frame nearest to `frame`; OfCueFrames gives it back unchanged
    // at every rate of 150 Hz and more.
    static std::int64_t CueFramesOf(std::int64_t frame, std::int32_t rate);
    // The frame nearest to whole + numerator / denominator seconds, as a
    // time written with decimals gives it.
    static std::int64_t OfFraction(std::int64_t whole, std::int64_t numerator,
                                   std::int64_t denominator, std::int32_t rate);
};
