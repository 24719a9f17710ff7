#include "app/PreviewSlider.h"

#include "app/SkinObjects.h"
#include "app/skin/ISkinElement.h"
#include "app/skin/ISkinScrollBar.h"
#include "platform/MulDiv.h"

#include <algorithm>
#include <limits>

namespace {

// MulDiv answers -1 for a zero divisor; a slider without range or a file
// without samples maps everything to 0 instead.
std::int32_t scaled(std::int32_t x, std::int32_t y, std::int32_t z) {
    if (z <= 0 || y <= 0)
        return 0;
    return std::max(0, MulDiv(x, y, z));
}

// The same for frame counts, which pass 32 bits in files of more than 12
// hours at 48 kHz; where MulDiv has a result this is the same one.
std::int64_t scaledFrames(std::int64_t x, std::int64_t y, std::int64_t z) {
    if (z <= 0 || y <= 0)
        return 0;
    return std::max<std::int64_t>(0, MulDiv64(x, y, z));
}

} // namespace

PreviewSlider::PreviewSlider(const SkinObjects& skin) : skin_(skin) {}

void PreviewSlider::SetSliderRange(std::int32_t maximum) {
    if (!skin_.pb)
        return;
    skin_.pb->SetMax(maximum);
    skin_.pb->SetThumbSize(ThumbSize(maximum));
    if (skin_.pbElement)
        skin_.pbElement->Refresh();
}

std::int32_t PreviewSlider::UsableRange() const {
    if (!skin_.pb)
        return 0;
    return std::max(0, skin_.pb->GetMax() - skin_.pb->GetThumbSize());
}

std::int32_t PreviewSlider::GetPosition() {
    if (skin_.pb)
        SliderPos = skin_.pb->GetPosition();
    return SliderPos;
}

void PreviewSlider::SetPosition(std::int32_t position) {
    SliderPos = position;
    if (!skin_.pb)
        return;
    skin_.pb->SetPosition(position);
    if (skin_.pbElement)
        skin_.pbElement->Refresh();
}

std::int32_t PreviewSlider::PositionToSeconds(std::int32_t position, std::int32_t duration) const {
    return PositionToSeconds(position, duration, UsableRange());
}

std::int64_t PreviewSlider::PositionToFrame(std::int32_t position, std::int64_t sampleCount) const {
    return PositionToFrame(position, sampleCount, UsableRange());
}

std::int32_t PreviewSlider::FrameToPosition(std::int64_t frame, std::int64_t sampleCount) const {
    return FrameToPosition(frame, sampleCount, UsableRange());
}

std::int32_t PreviewSlider::StepWidth(std::int32_t duration) const {
    return StepWidth(duration, UsableRange());
}

std::int32_t PreviewSlider::ThumbSize(std::int32_t maximum) {
    return MulDiv(170, maximum, 1100);
}

std::int32_t PreviewSlider::PositionToSeconds(std::int32_t position, std::int32_t duration,
                                              std::int32_t usableRange) {
    // The thumb never passes the usable range, so neither do the seconds.
    return scaled(std::clamp(position, 0, std::max(0, usableRange)), duration, usableRange);
}

std::int64_t PreviewSlider::PositionToFrame(std::int32_t position, std::int64_t sampleCount,
                                            std::int32_t usableRange) {
    return scaledFrames(std::clamp(position, 0, std::max(0, usableRange)), sampleCount,
                        usableRange);
}

std::int32_t PreviewSlider::FrameToPosition(std::int64_t frame, std::int64_t sampleCount,
                                            std::int32_t usableRange) {
    if (sampleCount <= 0)
        return 0;
    // A frame past the file's end is still a position past the slider's.
    return static_cast<std::int32_t>(std::min<std::int64_t>(
        scaledFrames(frame, usableRange, sampleCount), std::numeric_limits<std::int32_t>::max()));
}

std::int32_t PreviewSlider::StepWidth(std::int32_t duration, std::int32_t usableRange) {
    // A file shorter than a second is one step long: the slider cannot show
    // anything finer than its own end.
    if (duration < 1)
        return std::max(usableRange, 2);
    const std::int32_t step = usableRange / duration;
    return step <= 1 ? 2 : step;
}
