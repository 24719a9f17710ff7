#pragma once

#include "engine/audio/AudioDecoder.h"
#include "engine/audio/DecodeAhead.h"
#include "engine/audio/SampleArray.h"
#include "engine/audio/StreamConverter.h"

#include <QString>

#include <deque>
#include <memory>
#include <vector>

// The reading side of an audio file: decodes, and converts what it delivers
// to the format the caller asked for. Counts and positions are always frames
// of the file; only the delivered blocks are in the converted format.
class AudioReader {
public:
    // Throws Error naming the file when it cannot be decoded.
    explicit AudioReader(const QString& path);
    ~AudioReader();
    AudioReader(const AudioReader&) = delete;
    AudioReader& operator=(const AudioReader&) = delete;

    const QString& path() const { return path_; }
    int fileRate() const { return decoder_->rate(); }
    int fileChannels() const { return decoder_->channels(); }
    long long totalFrames() const { return decoder_->totalFrames(); }
    long long durationMs() const { return decoder_->durationMs(); }
    int fileBits() const { return decoder_->bitsPerSample(); }

    int outputRate() const { return outRate_; }
    int outputChannels() const { return outChannels_; }
    void setOutputFormat(int rate, int channels);

    void seek(long long frame);
    // See AudioDecoder::setQuickSeeks; off for every newly opened file.
    void setQuickSeeks(bool on) { decoder_->setQuickSeeks(on); }
    // Takes `count` file frames from the current position and returns them
    // converted: exactly as many as they become, fewer only at the end.
    SampleArray read(int count);
    // The same into `block`, whose storage is reused: a caller reading
    // block after block allocates nothing once the first one is read.
    void read(int count, SampleArray& block);

    // From the next decoding on, decode on a second thread ahead of the
    // caller, for callers that read long stretches in order. What is
    // delivered stays exactly the same.
    void setReadAhead(bool on);
    // Decode steps made ahead and not yet delivered.
    std::size_t stepsAhead() const;

private:
    // Takes the next decode step into the pending frames.
    bool decodeMore();
    // Decodes and converts one step, appending to `out`; false at the end.
    bool decodeStep(std::vector<float>& out, int& rate);
    void stopReadAhead(bool keepSteps);
    void restartConversion();
    void dropConversion();

    QString path_;
    std::unique_ptr<AudioDecoder> decoder_;
    int outRate_;
    int outChannels_;
    StreamConverter converter_;
    bool converterReady_ = false;
    std::vector<float> interleaved_;
    std::vector<float> pending_; // converted frames not yet delivered
    std::size_t pendingStart_ = 0;
    bool ended_ = false;
    // Frames the caller is owed so far, in the output rate, and frames given.
    double owed_ = 0;
    long long given_ = 0;
    long long position_ = 0; // the caller's position in file frames
    bool readAhead_ = false;
    // While it runs, it alone touches the decoder and the converter.
    std::unique_ptr<DecodeAhead> ahead_;
    std::deque<DecodeAhead::Step> aheadLeft_; // made ahead before it stopped
};
