#include "engine/audio/PeakPyramid.h"

#include <algorithm>
#include <cmath>
#include <limits>

namespace {

std::int16_t toPeak(float v) {
    if (!(v == v)) // NaN
        return 0;
    return static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
}

// The coarsest level stops near this many bins: a whole file at its widest.
constexpr std::size_t CoarsestBins = 512;

} // namespace

long long PeakPyramid::BinFramesFor(long long frames, int lanes) {
    const long long perBin = static_cast<long long>(sizeof(Peak)) * std::max(lanes, 1);
    long long bin = MinBinFrames;
    while ((std::max(frames, 0LL) / bin + 1) * perBin > static_cast<long long>(FinestLevelBudget))
        bin *= 2;
    return bin;
}

PeakPyramid::PeakPyramid(long long frames, int channels)
    : channels_(std::max(channels, 1)), lanes_(std::clamp(channels, 1, MaxLanes)),
      binFrames_(BinFramesFor(frames, lanes_)),
      openLow_(static_cast<std::size_t>(lanes_), std::numeric_limits<float>::infinity()),
      openHigh_(static_cast<std::size_t>(lanes_), -std::numeric_limits<float>::infinity()) {
    levels_.emplace_back();
    levels_[0].reserve(static_cast<std::size_t>((std::max(frames, 0LL) / binFrames_ + 1) * lanes_));
}

void PeakPyramid::add(const float* interleaved, int frames) {
    if (levels_.empty())
        return;
    // Floats are compared per sample; a bin is rounded once, when it closes.
    while (frames > 0) {
        const int n = static_cast<int>(std::min<long long>(frames, binFrames_ - inBin_));
        for (int ch = 0; ch < channels_; ++ch) {
            const auto lane = static_cast<std::size_t>(std::min(ch, lanes_ - 1));
            float low = openLow_[lane];
            float high = openHigh_[lane];
            const float* v = interleaved + ch;
            for (int i = 0; i < n; ++i, v += channels_) {
                low = std::min(low, *v);
                high = std::max(high, *v);
            }
            openLow_[lane] = low;
            openHigh_[lane] = high;
        }
        interleaved += static_cast<std::ptrdiff_t>(n) * channels_;
        frames -= n;
        frames_ += n;
        inBin_ += n;
        if (inBin_ == binFrames_)
            closeBin();
    }
}

void PeakPyramid::closeBin() {
    for (std::size_t lane = 0; lane < static_cast<std::size_t>(lanes_); ++lane) {
        // A bin of nothing but NaNs reads as silence.
        levels_[0].push_back(openLow_[lane] > openHigh_[lane]
                                 ? Peak{}
                                 : Peak{toPeak(openLow_[lane]), toPeak(openHigh_[lane])});
        openLow_[lane] = std::numeric_limits<float>::infinity();
        openHigh_[lane] = -std::numeric_limits<float>::infinity();
    }
    inBin_ = 0;
}

void PeakPyramid::finish() {
    if (levels_.empty() || levels_.size() > 1)
        return;
    if (inBin_ > 0)
        closeBin();
    levels_[0].shrink_to_fit();
    const auto lanes = static_cast<std::size_t>(lanes_);
    while (levels_.back().size() / lanes > CoarsestBins) {
        const std::vector<Peak>& fine = levels_.back();
        const std::size_t fineBins = fine.size() / lanes;
        std::vector<Peak> coarse;
        coarse.reserve((fineBins + LevelFactor - 1) / LevelFactor * lanes);
        for (std::size_t b = 0; b < fineBins; b += LevelFactor) {
            const std::size_t end = std::min(fineBins, b + LevelFactor);
            for (std::size_t lane = 0; lane < lanes; ++lane) {
                Peak p = fine[b * lanes + lane];
                for (std::size_t k = b + 1; k < end; ++k) {
                    p.low = std::min(p.low, fine[k * lanes + lane].low);
                    p.high = std::max(p.high, fine[k * lanes + lane].high);
                }
                coarse.push_back(p);
            }
        }
        levels_.push_back(std::move(coarse));
    }
}

long long PeakPyramid::binFrames(int level) const {
    long long frames = binFrames_;
    for (int k = 0; k < level; ++k)
        frames *= LevelFactor;
    return frames;
}

std::size_t PeakPyramid::bins(int level) const {
    if (level < 0 || level >= levels() || lanes_ == 0)
        return 0;
    return levels_[static_cast<std::size_t>(level)].size() / static_cast<std::size_t>(lanes_);
}

PeakPyramid::Peak PeakPyramid::at(int level, int lane, std::size_t bin) const {
    return levels_[static_cast<std::size_t>(level)]
                  [bin * static_cast<std::size_t>(lanes_) + static_cast<std::size_t>(lane)];
}

void PeakPyramid::columns(int lane, double first, double perColumn, int count,
                          std::vector<Peak>& out) const {
    out.assign(static_cast<std::size_t>(std::max(count, 0)), Peak{});
    if (levels_.empty() || lane < 0 || lane >= lanes_ || perColumn <= 0 || bins(0) == 0)
        return;
    int level = 0;
    while (level + 1 < levels() && static_cast<double>(binFrames(level + 1)) <= perColumn)
        ++level;
    const double bin = static_cast<double>(binFrames(level));
    const std::size_t available = bins(level);
    const std::vector<Peak>& peaks = levels_[static_cast<std::size_t>(level)];
    const auto lanes = static_cast<std::size_t>(lanes_);
    const double end = static_cast<double>(frames_);
    for (int x = 0; x < count; ++x) {
        const double from = first + x * perColumn;
        const double to = std::min(from + perColumn, end);
        if (to <= 0 || from >= end)
            continue;
        const auto b0 = static_cast<std::size_t>(std::max(0.0, std::floor(from / bin)));
        const auto b1 =
            std::min(available, std::max(b0 + 1, static_cast<std::size_t>(std::ceil(to / bin))));
        if (b0 >= available)
            continue;
        Peak p = peaks[b0 * lanes + static_cast<std::size_t>(lane)];
        for (std::size_t b = b0 + 1; b < b1; ++b) {
            const Peak& q = peaks[b * lanes + static_cast<std::size_t>(lane)];
            p.low = std::min(p.low, q.low);
            p.high = std::max(p.high, q.high);
        }
        out[static_cast<std::size_t>(x)] = p;
    }
}

std::size_t PeakPyramid::bytes() const {
    std::size_t total =
        sizeof(PeakPyramid) + (openLow_.capacity() + openHigh_.capacity()) * sizeof(float);
    for (const auto& level : levels_)
        total += level.capacity() * sizeof(Peak);
    return total;
}
