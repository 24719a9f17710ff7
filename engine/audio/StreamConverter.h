#pragma once

#include <cstddef>
#include <memory>
#include <vector>

struct soxr;

// Converts a stream of interleaved float frames from one rate and channel
// count to another: channels first (so the resampler works on as few channels
// as possible), then the rate with soxr at high quality. Memory is bounded by
// the blocks passed through, never by the stream length.
class StreamConverter {
public:
    StreamConverter();
    ~StreamConverter();
    StreamConverter(const StreamConverter&) = delete;
    StreamConverter& operator=(const StreamConverter&) = delete;

    // Starts a new stream; throws Error when the resampler cannot be set up.
    void configure(int inRate, int inChannels, int outRate, int outChannels);

    // Appends the converted form of `frames` input frames to `out`.
    void process(const float* in, std::size_t frames, std::vector<float>& out);
    // Ends the stream: appends what the resampler still holds. The converter
    // is then ready for a new stream in the same formats.
    void flush(std::vector<float>& out);
    // Drops whatever the resampler holds (after a seek).
    void reset();

    // Whether process() only copies: same rate, same channel count.
    bool passesThrough() const { return !soxr_ && inChannels_ == outChannels_; }

    int inRate() const { return inRate_; }
    int inChannels() const { return inChannels_; }
    int outRate() const { return outRate_; }
    int outChannels() const { return outChannels_; }

private:
    struct SoxrDeleter {
        void operator()(soxr* s) const;
    };

    void resample(const float* in, std::size_t frames, std::vector<float>& out);

    int inRate_ = 0;
    int inChannels_ = 0;
    int outRate_ = 0;
    int outChannels_ = 0;
    std::unique_ptr<soxr, SoxrDeleter> soxr_;
    std::vector<float> mixed_;
};
