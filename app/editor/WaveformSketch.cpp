#include "app/editor/WaveformSketch.h"

#include "engine/audio/AudioReader.h"

#include <algorithm>
#include <cmath>
#include <exception>

namespace {

std::int16_t toPeak(float v) {
    return static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
}

} // namespace

std::vector<int> WaveformSketch::Order() {
    // Bit-reversed counting spreads any first part of the order evenly.
    int bits = 0;
    while ((1 << bits) < Places)
        ++bits;
    std::vector<int> order;
    order.reserve(Places);
    for (int i = 0; i < (1 << bits); ++i) {
        int k = 0;
        for (int b = 0; b < bits; ++b)
            if (i & (1 << b))
                k |= 1 << (bits - 1 - b);
        if (k < Places)
            order.push_back(k);
    }
    return order;
}

bool WaveformSketch::peakOver(int lane, double from, double to, PeakPyramid::Peak& out) const {
    if (placesRead == 0 || frames <= 0)
        return false;
    // The last place beginning at or before `frame`.
    const auto place = [&](double frame) {
        auto k = static_cast<int>(
            std::clamp(std::floor(frame * Places / double(frames)), 0.0, double(Places - 1)));
        if (k + 1 < Places && double(placeStart(k + 1)) <= frame)
            ++k;
        return k;
    };
    const int a = place(from);
    const int b = std::max(a, place(std::max(from, to - 1)));
    bool any = false;
    for (int k = a; k <= b; ++k) {
        if (!read[static_cast<size_t>(k)])
            continue;
        const PeakPyramid::Peak& p = peaks[static_cast<size_t>(k * lanes + lane)];
        out.low = any ? std::min(out.low, p.low) : p.low;
        out.high = any ? std::max(out.high, p.high) : p.high;
        any = true;
    }
    if (any)
        return true;
    // Between places read so far: the nearer one stands in.
    for (int d = 1; d < Places; ++d) {
        for (const int k : {a - d, b + d}) {
            if (k >= 0 && k < Places && read[static_cast<size_t>(k)]) {
                out = peaks[static_cast<size_t>(k * lanes + lane)];
                return true;
            }
        }
    }
    return false;
}

void WaveformSketch::Read(
    const QString& path, const std::atomic<bool>& cancel, int batch,
    const std::function<void(std::shared_ptr<const WaveformSketch>)>& deliver) {
    AudioReader reader(path);
    // Drawing wants speed; most formats seek exactly even so.
    reader.setQuickSeeks(true);
    WaveformSketch sketch;
    sketch.frames = reader.totalFrames();
    const int channels = std::max(1, reader.outputChannels());
    sketch.lanes = std::min(channels, PeakPyramid::MaxLanes);
    sketch.peaks.assign(static_cast<size_t>(Places * sketch.lanes), {});
    sketch.read.assign(Places, false);
    SampleArray block;
    int sinceDelivery = 0;
    for (const int k : Order()) {
        if (cancel.load(std::memory_order_relaxed))
            return;
        try {
            reader.seek(sketch.placeStart(k));
            reader.read(StretchFrames, block);
        } catch (const std::exception&) {
            // A place that cannot be read stays out; its neighbours stand in.
            continue;
        }
        const int got = block.frames();
        if (got <= 0)
            continue;
        for (int lane = 0; lane < sketch.lanes; ++lane) {
            float low = 0;
            float high = 0;
            for (int i = 0; i < got; ++i)
                for (int ch = 0; ch < block.channels; ++ch) {
                    if (std::min(ch, sketch.lanes - 1) != lane)
                        continue;
                    const float v = block.samples[static_cast<size_t>(i * block.channels + ch)];
                    low = std::min(low, v);
                    high = std::max(high, v);
                }
            sketch.peaks[static_cast<size_t>(k * sketch.lanes + lane)] = {toPeak(low),
                                                                          toPeak(high)};
        }
        sketch.read[static_cast<size_t>(k)] = true;
        ++sketch.placesRead;
        if (++sinceDelivery >= batch) {
            sinceDelivery = 0;
            deliver(std::make_shared<const WaveformSketch>(sketch));
        }
    }
    if (sinceDelivery > 0)
        deliver(std::make_shared<const WaveformSketch>(sketch));
}
