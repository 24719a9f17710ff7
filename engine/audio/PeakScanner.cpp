#include "engine/audio/PeakScanner.h"

#include "engine/audio/AudioReader.h"

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
    // Through the reader, so a later link of a chained file in another rate
    // is measured in the first link's frames, as every position is.
    AudioReader reader(path);
    AudioOverview result;
    result.rate = reader.fileRate();
    result.frames = reader.totalFrames();
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

    // The same pass gives the editor its peaks per channel.
    auto pyramid = std::make_shared<PeakPyramid>(result.frames, reader.outputChannels());
    long long done = 0;
    SampleArray block;
    while (done < result.frames) {
        if ((cancel && cancel->load(std::memory_order_relaxed)) || (keepGoing && !keepGoing()))
            throw Cancelled{};
        reader.read(BlockFrames, block);
        const int frames = block.frames();
        if (frames <= 0)
            break;
        const float* v = block.samples.data();
        pyramid->add(v, frames);
        for (int i = 0; i < frames; ++i) {
            for (int ch = 0; ch < block.channels; ++ch, ++v) {
                low = std::min(low, *v);
                high = std::max(high, *v);
                squares += static_cast<double>(*v) * *v;
            }
            samples += block.channels;
            if (++inBin == result.framesPerBin)
                closeBin();
        }
        done += frames;
    }
    if (inBin > 0)
        closeBin();
    result.frames = std::min(result.frames, done);
    pyramid->finish();
    result.pyramid = std::move(pyramid);
    return result;
}
