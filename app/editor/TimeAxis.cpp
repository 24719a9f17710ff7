#include "app/editor/TimeAxis.h"

#include "core/FramePosition.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>

void TimeAxis::setFile(std::int64_t frames, std::int32_t rate) {
    frames_ = std::max<std::int64_t>(frames, 0);
    rate_ = std::max(rate, 1);
    showWholeFile();
}

void TimeAxis::setWidth(int width) {
    const bool whole = showsWholeFile();
    width_ = std::max(width, 1);
    if (whole)
        showWholeFile();
    else
        clamp();
}

bool TimeAxis::showsWholeFile() const {
    return first_ <= 0 && framesPerPixel_ >= maxFramesPerPixel() - 1e-9;
}

double TimeAxis::maxFramesPerPixel() const {
    return std::max(static_cast<double>(frames_) / width_, 1.0 / MaxPixelsPerFrame);
}

double TimeAxis::xOf(std::int64_t frame) const {
    return (static_cast<double>(frame) - first_) / framesPerPixel_;
}

std::int64_t TimeAxis::frameAt(double x) const {
    const double frame = std::floor(first_ + x * framesPerPixel_);
    return static_cast<std::int64_t>(std::clamp(frame, 0.0, static_cast<double>(frames_)));
}

void TimeAxis::clamp() {
    framesPerPixel_ = std::clamp(framesPerPixel_, 1.0 / MaxPixelsPerFrame, maxFramesPerPixel());
    first_ = std::clamp(first_, 0.0, std::max(0.0, static_cast<double>(frames_) - visibleFrames()));
}

void TimeAxis::zoomBy(double factor, double anchorX) {
    if (factor <= 0)
        return;
    const double anchor = first_ + anchorX * framesPerPixel_;
    framesPerPixel_ /= factor;
    framesPerPixel_ = std::clamp(framesPerPixel_, 1.0 / MaxPixelsPerFrame, maxFramesPerPixel());
    first_ = anchor - anchorX * framesPerPixel_;
    clamp();
}

void TimeAxis::zoomTo(std::int64_t from, std::int64_t to) {
    if (to <= from)
        return;
    const double span = static_cast<double>(to - from);
    const double margin = span * 0.05;
    framesPerPixel_ = (span + 2 * margin) / width_;
    first_ = static_cast<double>(from) - margin;
    clamp();
}

void TimeAxis::showWholeFile() {
    framesPerPixel_ = maxFramesPerPixel();
    first_ = 0;
}

void TimeAxis::scrollBy(double pixels) {
    first_ += pixels * framesPerPixel_;
    clamp();
}

void TimeAxis::scrollTo(double firstFrame) {
    first_ = firstFrame;
    clamp();
}

void TimeAxis::follow(std::int64_t frame) {
    const double x = xOf(frame);
    if (x < 0 || x >= width_)
        scrollTo(static_cast<double>(frame) - visibleFrames() * 0.1);
}

double TimeAxis::scrollUnit() const {
    // Pixels while they fit an int comfortably; coarser steps beyond.
    const double pixels = static_cast<double>(frames_) / framesPerPixel_;
    const double limit = 1e9;
    return pixels > limit ? static_cast<double>(frames_) / limit : framesPerPixel_;
}

int TimeAxis::scrollMaximum() const {
    return static_cast<int>(
        std::ceil(std::max(0.0, static_cast<double>(frames_) - visibleFrames()) / scrollUnit()));
}

int TimeAxis::scrollPage() const {
    return std::max(1, static_cast<int>(visibleFrames() / scrollUnit()));
}

int TimeAxis::scrollValue() const {
    return static_cast<int>(std::lround(first_ / scrollUnit()));
}

void TimeAxis::setScrollValue(int value) {
    scrollTo(value * scrollUnit());
}

std::vector<TimeAxis::Tick> TimeAxis::ticks(int labelSpacing) const {
    // Label steps in hundredths of a second.
    static constexpr std::array<std::int64_t, 19> steps = {
        1,    2,    5,    10,    20,    50,    100,    200,    500,   1000,
        1500, 3000, 6000, 12000, 30000, 60000, 180000, 360000, 720000};
    const double perHundredth = rate_ / 100.0 / framesPerPixel_; // pixels
    std::int64_t step = steps.back();
    for (const std::int64_t s : steps) {
        if (s * perHundredth >= labelSpacing) {
            step = s;
            break;
        }
    }
    while (step * perHundredth < labelSpacing)
        step *= 2;
    // Four unlabelled ticks between labels where a hundredth allows it.
    const std::int64_t minor = step % 5 == 0 ? step / 5 : (step % 2 == 0 ? step / 2 : step);
    std::vector<Tick> out;
    const auto firstHundredth =
        static_cast<std::int64_t>(std::floor(first_ * 100.0 / rate_ / minor)) * minor;
    const double lastFrame = first_ + visibleFrames();
    for (std::int64_t h = std::max<std::int64_t>(firstHundredth, 0);; h += minor) {
        // Where a typed time of h hundredths lies.
        const std::int64_t frame = FramePosition::OfFraction(h / 100, h % 100, 100, rate_);
        if (static_cast<double>(frame) > lastFrame || frame > frames_)
            break;
        if (static_cast<double>(frame) < first_)
            continue;
        Tick tick;
        tick.frame = frame;
        tick.labelled = h % step == 0;
        if (tick.labelled)
            tick.label = ClockText(frame, rate_);
        out.push_back(tick);
        if (out.size() > 10000)
            break;
    }
    return out;
}

QString TimeAxis::ClockText(std::int64_t frame, std::int32_t rate) {
    const std::int64_t r = std::max(rate, 1);
    const std::int64_t f = std::max<std::int64_t>(frame, 0);
    const std::int64_t seconds = f / r;
    const std::int64_t hundredths = f % r * 100 / r;
    return QStringLiteral("%1:%2:%3.%4")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'))
        .arg(hundredths, 2, 10, QLatin1Char('0'));
}
