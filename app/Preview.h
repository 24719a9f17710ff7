#pragma once

#include "app/EditorContext.h"
#include <QObject>
#include <QString>

#include <cstdint>
#include <functional>

class Desktop;
class IAudioFile2;
class IAudioPlayer2;
class PreviewSlider;
class QItemSelectionModel;
class JobListModel;
class ReportListModel;
struct AppState;
struct SkinObjects;

// The preview player: plays the selected file, or one of its segments, from
// the reader through the player, moves the slider "pb" and the time
// "timecaption" with the played position, and lets the user drag and step
// the slider. The file row being played is the state's `PlayingFile`, so the
// job list keeps it selected and follows it when rows move.
class Preview : public QObject {
    Q_OBJECT

public:
    // The window's reader and player; either may be missing (then nothing
    // plays).
    struct Components {
        std::function<IAudioFile2*()> reader;
        std::function<IAudioPlayer2*()> player;
    };

    Preview(const EditorContext& context, Components components, QObject* parent = nullptr);
    ~Preview() override;

    // Sample frames handed to the player at a time: data is requested rarely.
    static constexpr int BlockFrames = 4410000;

    // Segment row being previewed; -1 during a file preview.
    std::int32_t PlayingSegment() const { return playingSegment_; }
    // Frame at which the current stretch of playing began: from the file
    // start in a file preview, from the segment start in a segment preview.
    std::int64_t StartSample() const { return startSample_; }
    // Status the previewed segment row showed before "Playing".
    const QString& SavedStatus() const { return savedStatus_; }
    // True while a segment (not the whole file) is being previewed.
    bool isSegmentPreview() const;

    // These may throw `Error` from the reader or the player; a failing start
    // leaves the preview stopped.
    void PlayFile();
    void PlaySegment();
    // Plays frames [from, to) of the selected file (to below 0: on to its
    // end), for the waveform editor; the slider follows as in PlayFile.
    void PlayFrames(std::int64_t from, std::int64_t to);
    // The frame of the file last reported played; -1 when nothing plays.
    std::int64_t PlayedFrame() const;
    void StopPlayback();
    void FeedPlayer();
    void StepForward();
    void StepBack();

    // The skin's events; they act only on the slider "pb".
    void Skin1MouseDown(const QString& name);
    void Skin1MouseUp(const QString& name);
    void Skin1ScrollTrack(const QString& name, int newPos);
    void ShowDragPosition();

public slots:
    // The player's events. The timer's third argument carries the frames
    // played since Play or the last Flush; the other two are not used.
    void AudioPlayer21Timer(qint64 currentSamples, int levelLeft, qint64 levelRight);
    void AudioPlayer21EndPlay();
    void AudioPlayer21EndArrayPlay();
    void AudioPlayer21RequestOnLoadArray();

private:
    // What a segment preview plays, fixed when it starts so that later edits
    // of the segment list cannot move it under the playing audio.
    struct Segment {
        std::int32_t seconds = 0;      // end - begin
        std::int64_t beginFrame = 0;   // in the file
        std::int64_t lengthFrames = 0; // may be 0 or less for an empty or reversed segment
    };

    int selectedFile() const;
    int selectedSegment() const;
    IAudioFile2* currentReader() const;
    IAudioPlayer2* currentPlayer() const;
    // Marks row `row` playing (segmentRow -1: the whole file) and opens its
    // file in the reader and the player.
    void startPlaying(int row, int segmentRow);
    void stopQuietly() noexcept;
    std::int64_t secondsToFrame(std::int32_t seconds) const;
    void showTime(std::int64_t seconds);
    void runGuarded(const std::function<void()>& action);

    AppState& state_;
    Desktop& desktop_;
    JobListModel& lv_;
    QItemSelectionModel& lvSelection_;
    ReportListModel& lvTime_;
    QItemSelectionModel& lvTimeSelection_;
    PreviewSlider& slider_;
    const SkinObjects& skin_;
    Components components_;

    std::int32_t playingSegment_ = -1;
    std::int64_t startSample_ = 0;
    QString savedStatus_;
    bool segmentPreview_ = false;
    Segment segment_;
    // Where a PlayFrames preview ends (-1: none), and the next frame the
    // player is fed from.
    std::int64_t rangeEnd_ = -1;
    std::int64_t fedTo_ = 0;
    std::int64_t playedFrame_ = 0;
    // The reader's length of the file being played, taken when it opened.
    std::int64_t sampleCount_ = 0;
    std::int32_t rate_ = 0;
};
