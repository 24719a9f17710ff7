#pragma once

#include "tests/engine/FailingWriter.h"

// Forwards to the real reader, but from the n-th read on hands back nothing,
// as a component that lost its file without saying so would.
class CutShortReader : public FailingWriter {
public:
    CutShortReader(IAudioFile2& real, int emptyFrom)
        : FailingWriter(real, 0), emptyFrom_(emptyFrom) {}
    SampleArray ReadSamples(int count) override {
        if (++reads_ >= emptyFrom_)
            return SampleArray{};
        return FailingWriter::ReadSamples(count);
    }

private:
    int emptyFrom_;
    int reads_ = 0;
};
