#include "engine/audio/LoudnessMeter.h"

#include "engine/audio/AudioFile2.h"
#include "platform/Error.h"

#include <ebur128.h>

#include <cmath>
#include <limits>

struct LoudnessMeter::State {
    ebur128_state* st = nullptr;
    State() = default;
    State(const State&) = delete;
    State& operator=(const State&) = delete;
    ~State() {
        if (st)
            ebur128_destroy(&st);
    }
};

LoudnessMeter::LoudnessMeter(int rate, int channels)
    : state_(std::make_unique<State>()), channels_(channels) {
    // The histogram keeps the memory the same however long a piece runs.
    if (rate > 0 && channels > 0)
        state_->st =
            ebur128_init(static_cast<unsigned>(channels), static_cast<unsigned long>(rate),
                         EBUR128_MODE_I | EBUR128_MODE_SAMPLE_PEAK | EBUR128_MODE_HISTOGRAM);
    if (!state_->st)
        throw Error(QStringLiteral("Cannot measure the loudness of %1 channels at %2 Hz")
                        .arg(channels)
                        .arg(rate));
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::add(const SampleArray& block) {
    const int frames = block.channels == channels_ ? block.frames() : 0;
    if (frames > 0)
        ebur128_add_frames_float(state_->st, block.samples.data(), static_cast<size_t>(frames));
}

double LoudnessMeter::loudness() const {
    double lufs = -std::numeric_limits<double>::infinity();
    if (ebur128_loudness_global(state_->st, &lufs) != EBUR128_SUCCESS)
        return -std::numeric_limits<double>::infinity();
    return lufs;
}

double LoudnessMeter::peak() const {
    double highest = 0;
    for (int c = 0; c < channels_; ++c) {
        double peak = 0;
        if (ebur128_sample_peak(state_->st, static_cast<unsigned>(c), &peak) == EBUR128_SUCCESS)
            highest = std::max(highest, peak);
    }
    return highest;
}

double LoudnessMeter::Loudness(const std::vector<const LoudnessMeter*>& meters) {
    std::vector<ebur128_state*> states;
    for (const LoudnessMeter* meter : meters)
        if (meter)
            states.push_back(meter->state_->st);
    double lufs = -std::numeric_limits<double>::infinity();
    if (states.empty() ||
        ebur128_loudness_global_multiple(states.data(), states.size(), &lufs) != EBUR128_SUCCESS)
        return -std::numeric_limits<double>::infinity();
    return lufs;
}

std::unique_ptr<LoudnessMeter> LoudnessMeter::OfFile(const QString& path) {
    AudioFile2 reader;
    reader.Open(path, 0, 1);
    auto meter = std::make_unique<LoudnessMeter>(reader.SampleRate(), reader.Channels());
    for (;;) {
        const SampleArray block = reader.ReadSamples(reader.SampleRate() * reader.Channels());
        if (block.UpperBound() < 1)
            break;
        meter->add(block);
    }
    reader.Close();
    return meter;
}
