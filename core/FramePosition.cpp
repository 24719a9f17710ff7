#include "core/FramePosition.h"

#include <algorithm>

std::int64_t FramePosition::OfSeconds(std::int64_t seconds, std::int32_t rate,
                                      std::int64_t frames) {
    return std::clamp<std::int64_t>(Frames(seconds, rate), 0, std::max<std::int64_t>(frames, 0));
}

std::int64_t FramePosition::OfMilliseconds(std::int64_t ms, std::int32_t rate,
                                           std::int64_t frames) {
    const std::int64_t limit = std::max<std::int64_t>(frames, 0);
    if (ms <= 0 || rate <= 0)
        return 0;
    // Rounded to the nearest frame, in two steps so no product overflows.
    const std::int64_t frame = ms / 1000 * rate + (ms % 1000 * rate + 500) / 1000;
    return std::min(frame, limit);
}

std::int64_t FramePosition::EndOfSeconds(std::int64_t seconds, std::int32_t wholeSeconds,
                                         std::int32_t rate, std::int64_t frames) {
    return seconds >= wholeSeconds ? std::max<std::int64_t>(frames, 0)
                                   : OfSeconds(seconds, rate, frames);
}

std::int64_t FramePosition::Frames(std::int64_t seconds, std::int32_t rate) {
    return std::max<std::int64_t>(seconds, 0) * std::max(rate, 0);
}

std::int64_t FramePosition::OfCueFrames(std::int64_t cueFrames, std::int32_t rate) {
    const std::int64_t r = std::max(rate, 0);
    const std::int64_t c = std::max<std::int64_t>(cueFrames, 0);
    return c / CueFramesPerSecond * r + c % CueFramesPerSecond * r / CueFramesPerSecond;
}

std::int64_t FramePosition::CueFramesOf(std::int64_t frame, std::int32_t rate) {
    if (frame <= 0 || rate <= 0)
        return 0;
    // In two steps, as in OfMilliseconds, so no product overflows.
    return frame / rate * CueFramesPerSecond +
           (frame % rate * CueFramesPerSecond * 2 + rate) / (2 * std::int64_t{rate});
}

std::int64_t FramePosition::OfFraction(std::int64_t whole, std::int64_t numerator,
                                       std::int64_t denominator, std::int32_t rate) {
    if (rate <= 0 || denominator <= 0 || whole < 0 || numerator < 0)
        return 0;
    return whole * rate + (numerator * rate * 2 + denominator) / (2 * denominator);
}

double FramePosition::Seconds(std::int64_t frame, std::int32_t rate) {
    return rate > 0 ? static_cast<double>(frame) / rate : 0.0;
}

std::int64_t FramePosition::Milliseconds(std::int64_t frame, std::int32_t rate) {
    // In two steps, as in OfMilliseconds, so no product overflows.
    return rate > 0 ? frame / rate * 1000 + frame % rate * 1000 / rate : 0;
}

std::int64_t FramePosition::Nearest(std::int64_t frame, std::int32_t rate, std::int64_t perSecond) {
    if (rate <= 0)
        return 0;
    // In two steps, so no product overflows.
    const std::int64_t part = (frame % rate * 2 * perSecond + rate) / (2 * std::int64_t{rate});
    return frame / rate * perSecond + part;
}

std::int64_t FramePosition::WholeSeconds(std::int64_t frame, std::int32_t rate) {
    return rate > 0 ? frame / rate : 0;
}
