#pragma once

#include <cstdint>

struct SkinObjects;

// The geometry of the skin's preview slider "pb" and the conversions between
// its positions, seconds and sample frames. The job list sets the range when a
// file is selected; the segment editor and the preview read positions through
// it, so every part rounds the same way.
class PreviewSlider {
public:
    // The looked-up skin objects; they are filled when the skin is set up, so
    // they are read at each call, never copied.
    explicit PreviewSlider(const SkinObjects& skin);

    // The last position read from or written to the slider.
    std::int32_t SliderPos = 0;

    // Maximum and thumb size for a file, then a redraw.
    void SetSliderRange(std::int32_t maximum);
    // Positions run from 0 to this; at or above it is the end. 0 without a
    // slider.
    std::int32_t UsableRange() const;

    // Reads "pb" into SliderPos and returns it.
    std::int32_t GetPosition();
    // Moves "pb", redraws it and keeps the position in SliderPos.
    void SetPosition(std::int32_t position);

    std::int32_t PositionToSeconds(std::int32_t position, std::int32_t duration) const;
    // Positions stay 32-bit; frames of a long file do not, and pass through
    // 64-bit arithmetic that rounds as MulDiv does.
    std::int64_t PositionToFrame(std::int32_t position, std::int64_t sampleCount) const;
    std::int32_t FrameToPosition(std::int64_t frame, std::int64_t sampleCount) const;
    // How far one step back or forward moves the slider for a file of
    // `duration` seconds.
    std::int32_t StepWidth(std::int32_t duration) const;

    // The same rules for a given usable range, for callers that already hold it.
    static std::int32_t ThumbSize(std::int32_t maximum);
    static std::int32_t PositionToSeconds(std::int32_t position, std::int32_t duration,
                                          std::int32_t usableRange);
    static std::int64_t PositionToFrame(std::int32_t position, std::int64_t sampleCount,
                                        std::int32_t usableRange);
    static std::int32_t FrameToPosition(std::int64_t frame, std::int64_t sampleCount,
                                        std::int32_t usableRange);
    static std::int32_t StepWidth(std::int32_t duration, std::int32_t usableRange);

private:
    const SkinObjects& skin_;
};
