#pragma once

#include "engine/audio/IAudioPlayer2.h"

#include <QObject>
#include <QTimer>

#include <deque>
#include <memory>
#include <vector>

class AudioOutput;

// The preview player: queues sample arrays on an SDL 2 audio device (or, when
// none opens, on a silent output that keeps time) and reports progress on
// the thread that owns it.
//
// Events, all from a timer a few times a second:
// - OnTimer: `levelRight` (the third argument, where the preview reads it)
//   and `currentSamples` carry the frames played since Play or Flush, 64-bit
//   so that hours of playing at high rates are counted right;
//   `levelLeft` is the peak of the first channel there, 0..32767.
// - OnEndArrayPlay: a queued array has finished playing.
// - OnRequestOnLoadArray: less than two seconds remain queued.
// - OnEndPlay: everything queued has played and the source gave no more
//   (an empty array, or no answer to a request).
class AudioPlayer2 : public QObject, public IAudioPlayer2 {
    Q_OBJECT
public:
    explicit AudioPlayer2(QObject* parent = nullptr);
    ~AudioPlayer2() override;

    void Play() override;
    void StopPlayer() override;
    void PlayArray(const SampleArray& samples) override;
    void Flush() override;
    void OpenPlayer(int sampleRate, int channels) override;

    bool IsPlaying() const { return playing_; }
    // Frames played since Play or Flush.
    long long PlayedFrames();
    // True when no audio device could be opened and the clock stands in.
    bool UsesSilentOutput() const { return silent_; }

signals:
    void OnTimer(qint64 currentSamples, int levelLeft, qint64 levelRight);
    void OnEndArrayPlay();
    void OnRequestOnLoadArray();
    void OnEndPlay();

private:
    // What is kept of a queued array: where it ends and its peaks.
    struct Block {
        long long start = 0;
        long long end = 0;
        std::vector<short> peaks; // first channel, one per kPeakFrames frames
    };

    void tick();
    void ensureOutput();
    void resetQueue();
    int levelAt(long long frame) const;

    int rate_ = 0;
    int channels_ = 0;
    std::unique_ptr<AudioOutput> output_;
    bool silent_ = false;
    QTimer timer_;
    bool playing_ = false;
    long long queued_ = 0; // frames queued since Play or Flush
    std::deque<Block> blocks_;
    long long ticks_ = 0;
    bool requested_ = false;
    long long requestTick_ = 0;
    bool sourceDry_ = false;
    bool endReported_ = false;
};
