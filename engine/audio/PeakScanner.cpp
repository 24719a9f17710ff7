#include "engine/audio/PeakScanner.h"

#include "engine/audio/VorbisDecoder.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr int BlockFrames = 8192;

std::int16_t toPeak(float v) {
    return static_cast<std::int16_t>(std::lround(std::clamp(v, -1.0f, 1.0f) * 32767.0f));
}

std::int16_t toLevel(double sumOfSquares, long long samples) {
    if (samples <= 0 || sumOfSquares <= 0)
        return AudioOverview::FloorLevel;
    const double db = 10.0 * std::log10(sumOfSquares / static_cast<double>(samples));
    return static_cast<std::int16_t>(
        std::clamp<long>(std::lround(db * 100.0), AudioOverview::FloorLevel, 0));
}

} // namespace

long long PeakScanner::FramesPerBin(int rate, long long frames) {
    const long long finest = std::max(1, rate / BinsPerSecond);
    const long long needed = (std::max(0LL, frames) + MaxBins - 1) / MaxBins;
    return std::max(finest, needed);
}

AudioOverview PeakScanner::Scan(const QString& path, const std::atomic<bool>* cancel,
                                const std::function<bool()>& keepGoing) {
    VorbisDecoder decoder(path);
    AudioOverview result;
    result.rate = decoder.rate();
    result.frames = decoder.totalFrames();
    result.framesPerBin = FramesPerBin(result.rate, result.frames);
    const auto bins =
        static_cast<std::size_t>((result.frames + result.framesPerBin - 1) / result.framesPerBin);
    result.low.reserve(bins);
    result.high.reserve(bins);
    result.level.reserve(bins);

    float low = 0;
    float high = 0;
    double squares = 0;
    long long samples = 0;
    long long inBin = 0;
    const auto closeBin = [&] {
        result.low.push_back(toPeak(low));
        result.high.push_back(toPeak(high));
        result.level.push_back(toLevel(squares, samples));
        low = high = 0;
        squares = 0;
        samples = 0;
        inBin = 0;
    };

    long long done = 0;
    while (done < result.frames) {
        if ((cancel && cancel->load(std::memory_order_relaxed)) || (keepGoing && !keepGoing()))
            throw Cancelled{};
        const VorbisDecoder::Chunk chunk = decoder.read(BlockFrames);
        if (chunk.frames <= 0)
            break;
        for (int i = 0; i < chunk.frames; ++i) {
            for (int ch = 0; ch < chunk.channels; ++ch) {
                const float v = chunk.planes[ch][i];
                low = std::min(low, v);
                high = std::max(high, v);
                squares += static_cast<double>(v) * v;
            }
            samples += chunk.channels;
            if (++inBin == result.framesPerBin)
                closeBin();
        }
        done += chunk.frames;
    }
    if (inBin > 0)
        closeBin();
    result.frames = std::min(result.frames, done);
    return result;
}
