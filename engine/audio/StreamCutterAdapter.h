#pragma once

#include "engine/audio/StreamCutter.h"

#include <QString>

#include <cstdint>

// A packet cutter of its own shape (VorbisStreamCutter, OpusStreamCutter,
// Mp3StreamCutter) seen through the StreamCutter interface. Cutters that
// count their frames in a rate of their own, or can refuse a whole source,
// say so (or are given the rate they always count in); the others count in
// the source's rate and refuse piece by piece.
template <typename Cutter> class StreamCutterAdapter : public StreamCutter {
public:
    explicit StreamCutterAdapter(const QString& source, int fixedRate = 0)
        : cutter_(source), fixedRate_(fixedRate) {}

    QString problem() const override {
        if constexpr (requires(const Cutter& c) { c.problem(); })
            return cutter_.problem();
        return {};
    }
    std::int64_t totalFrames() const override {
        if constexpr (requires(const Cutter& c) { c.totalFrames(); })
            return cutter_.totalFrames();
        else
            return cutter_.index().totalFrames();
    }
    int sampleRate() const override {
        if constexpr (requires(const Cutter& c) { c.sampleRate(); })
            return cutter_.sampleRate();
        else
            return fixedRate_;
    }
    QString obstacle(std::int64_t begin, std::int64_t end) const override {
        return cutter_.obstacle(begin, end);
    }
    std::int64_t write(std::int64_t begin, std::int64_t end, const QString& output,
                       const Progress& progress) const override {
        return cutter_.write(begin, end, output, progress);
    }

private:
    Cutter cutter_;
    int fixedRate_;
};
