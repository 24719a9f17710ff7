#pragma once

#include <QString>

#include <cstdint>
#include <vector>

// The editor's view of a file along x: which frame lies at which pixel, how
// far it is zoomed and scrolled, and the ticks of its time ruler. Nothing is
// drawn here.
class TimeAxis {
public:
    // The deepest zoom: one frame spreads over this many pixels.
    static constexpr double MaxPixelsPerFrame = 16.0;
    // Sample dots are drawn from this zoom on.
    static constexpr double DotsFromPixelsPerFrame = 4.0;

    struct Tick {
        std::int64_t frame = 0;
        bool labelled = false;
        QString label; // h:mm:ss.cc
    };

    // A file of `frames` frames at `rate`, shown whole over `width` pixels.
    void setFile(std::int64_t frames, std::int32_t rate);
    // Keeps the first frame; the whole file stays whole.
    void setWidth(int width);

    std::int64_t frames() const { return frames_; }
    std::int32_t rate() const { return rate_; }
    int width() const { return width_; }
    double first() const { return first_; }
    double framesPerPixel() const { return framesPerPixel_; }
    double visibleFrames() const { return framesPerPixel_ * width_; }
    bool showsWholeFile() const;

    double xOf(std::int64_t frame) const;
    // The frame under pixel x (its left edge), within the file.
    std::int64_t frameAt(double x) const;

    // Zooms by `factor` (above 1: closer) keeping the frame under `anchorX`
    // where it is.
    void zoomBy(double factor, double anchorX);
    // Shows frames [from, to) across the width, with a little room.
    void zoomTo(std::int64_t from, std::int64_t to);
    void showWholeFile();
    void scrollBy(double pixels);
    void scrollTo(double firstFrame);
    // Scrolls only as far as needed to bring `frame` into view.
    void follow(std::int64_t frame);

    // The scroll bar in steps of `scrollUnit()` frames, which keeps the
    // numbers within an int at any zoom.
    double scrollUnit() const;
    int scrollMaximum() const;
    int scrollPage() const;
    int scrollValue() const;
    void setScrollValue(int value);

    // The ruler's ticks across the view: a labelled one at least
    // `labelSpacing` pixels apart and four unlabelled between.
    std::vector<Tick> ticks(int labelSpacing = 90) const;

    // "h:mm:ss.cc", rounded down to the hundredth.
    static QString ClockText(std::int64_t frame, std::int32_t rate);

private:
    void clamp();
    double maxFramesPerPixel() const;

    std::int64_t frames_ = 0;
    std::int32_t rate_ = 1;
    int width_ = 1;
    double first_ = 0;
    double framesPerPixel_ = 1;
};
