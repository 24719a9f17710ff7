#include "app/Preview.h"

#include "app/PreviewSlider.h"
#include "app/SkinObjects.h"
#include "app/skin/ISkinElement.h"
#include "app/skin/ISkinText.h"
#include "core/AppState.h"
#include "core/FramePosition.h"
#include "core/JobListModel.h"
#include "core/ReportListModel.h"
#include "core/RowSelection.h"
#include "core/Segments.h"
#include "engine/PiecePlan.h"
#include "engine/audio/IAudioFile2.h"
#include "engine/audio/IAudioPlayer2.h"
#include "platform/Desktop.h"
#include "platform/Error.h"
#include "platform/FormatTime.h"

#include <QItemSelectionModel>

#include <algorithm>
#include <exception>

namespace {

constexpr int StatusColumn = 2;
const QString PbName = QStringLiteral("pb");

} // namespace

Preview::Preview(const EditorContext& context, Components components, QObject* parent)
    : QObject(parent), state_(context.state), desktop_(context.desktop), lv_(context.lv),
      lvSelection_(context.lvSelection), lvTime_(context.lvTime),
      lvTimeSelection_(context.lvTimeSelection), slider_(context.slider), skin_(context.skin),
      components_(std::move(components)) {}

Preview::~Preview() = default;

bool Preview::isSegmentPreview() const {
    return state_.Playing && segmentPreview_;
}

int Preview::selectedFile() const {
    return RowSelection(lvSelection_).selectedBelow(lv_.count());
}

int Preview::selectedSegment() const {
    return RowSelection(lvTimeSelection_).selectedBelow(lvTime_.count());
}

IAudioFile2* Preview::currentReader() const {
    return components_.reader ? components_.reader() : nullptr;
}

IAudioPlayer2* Preview::currentPlayer() const {
    return components_.player ? components_.player() : nullptr;
}

void Preview::startPlaying(int row, int segmentRow) {
    IAudioFile2& file = *currentReader();
    IAudioPlayer2& output = *currentPlayer();
    if (file.IsOpen())
        file.Close();
    state_.Playing = true;
    state_.PlayingFile = row;
    playingSegment_ = segmentRow;
    segmentPreview_ = segmentRow >= 0;
    file.Open(state_.JobList[static_cast<size_t>(row)].FileName, 0, 1);
    // Listening wants a quick start; the runs open the file again for
    // their exact seeks.
    file.SetQuickSeeks(true);
    sampleCount_ = file.SampleCount();
    rate_ = file.SampleRate();
    output.OpenPlayer(file.SampleRate(), file.Channels());
}

// A preview that fails leaves nothing half-started behind; the caller
// rethrows the first failure, so a second one from stopping is dropped.
void Preview::stopQuietly() noexcept {
    try {
        StopPlayback();
    } catch (...) {
    }
}

std::int64_t Preview::secondsToFrame(std::int32_t seconds) const {
    return FramePosition::OfSeconds(seconds, rate_, sampleCount_);
}

void Preview::showTime(std::int64_t seconds) {
    if (!skin_.timecaption)
        return;
    skin_.timecaption->SetText(FormatTime(seconds));
    if (skin_.timecaptionElement)
        skin_.timecaptionElement->Refresh();
}

void Preview::PlayFile() {
    if (state_.Busy || state_.Playing)
        return;
    const int row = selectedFile();
    IAudioFile2* reader = currentReader();
    IAudioPlayer2* player = currentPlayer();
    if (row < 0 || !reader || !player)
        return;

    try {
        startPlaying(row, -1);
        rangeEnd_ = -1;
        startSample_ = slider_.PositionToFrame(slider_.GetPosition(), sampleCount_);
        reader->Seek(startSample_, 3);
        player->Play();
        FeedPlayer();
    } catch (...) {
        stopQuietly();
        throw;
    }
}

void Preview::PlaySegment() {
    if (state_.Busy || state_.Playing)
        return;
    const int row = selectedFile();
    const int segmentRow = selectedSegment();
    IAudioFile2* reader = currentReader();
    IAudioPlayer2* player = currentPlayer();
    if (row < 0 || segmentRow < 0 || !reader || !player)
        return;
    // The segment must exist in the record the list shows; in the two split
    // functions the rows are computed pieces and none of them is a segment.
    const int recordIndex = PiecePlan::SharesSegments(PiecePlan::ModeIn(state_)) ? 0 : row;
    if (static_cast<size_t>(recordIndex) >= state_.JobList.size())
        return;
    const listrecord& record = state_.JobList[static_cast<size_t>(recordIndex)];
    const auto seg = static_cast<size_t>(segmentRow);
    if (segmentRow >= record.SegmentCount || seg >= record.BeginTimes.size() ||
        seg >= record.EndTimes.size())
        return;
    const std::int32_t begin = record.BeginTimes[seg];
    const std::int32_t end = record.EndTimes[seg];

    try {
        startPlaying(row, segmentRow);
        segment_.seconds = end - begin;
        segment_.beginFrame = secondsToFrame(begin);
        // A segment to the end of the file plays its last frames too, as the
        // runs cut them.
        segment_.lengthFrames =
            end > begin ? FramePosition::EndOfSeconds(end, record.Duration, rate_, sampleCount_) -
                              segment_.beginFrame
                        : 0;
        // A marked piece plays exactly the frames it is cut at.
        if (seg + 1 < static_cast<size_t>(record.SegmentCount) && seg < record.Pieces.size()) {
            const TitledPiece& piece = record.Pieces[seg];
            segment_.beginFrame = piece.begin;
            segment_.lengthFrames = std::max<std::int64_t>(piece.end - piece.begin, 0);
        }
        reader->Seek(segment_.beginFrame, 3);
        startSample_ = 0;
        player->Play();
        savedStatus_ = lvTime_.text(segmentRow, StatusColumn);
        lvTime_.setText(segmentRow, StatusColumn, SegmentStatus::Playing);
        FeedPlayer();
    } catch (...) {
        stopQuietly();
        throw;
    }
}

std::int64_t Preview::PlayedFrame() const {
    return state_.Playing ? playedFrame_ : -1;
}

void Preview::PlayFrames(std::int64_t from, std::int64_t to) {
    if (state_.Busy || state_.Playing)
        return;
    const int row = selectedFile();
    IAudioFile2* reader = currentReader();
    IAudioPlayer2* player = currentPlayer();
    if (row < 0 || !reader || !player)
        return;
    try {
        startPlaying(row, -1);
        startSample_ = std::clamp<std::int64_t>(from, 0, sampleCount_);
        rangeEnd_ = to < 0 ? -1 : std::clamp<std::int64_t>(to, startSample_, sampleCount_);
        fedTo_ = startSample_;
        playedFrame_ = startSample_;
        reader->Seek(startSample_, 3);
        player->Play();
        FeedPlayer();
    } catch (...) {
        stopQuietly();
        throw;
    }
}

void Preview::FeedPlayer() {
    if (!state_.Playing)
        return;
    IAudioFile2* reader = currentReader();
    IAudioPlayer2* player = currentPlayer();
    if (!reader || !player || !reader->IsOpen())
        return;
    // A range ends where it ends: past it the player gets an empty block.
    int count = BlockFrames;
    if (rangeEnd_ >= 0)
        count = static_cast<int>(std::clamp<std::int64_t>(rangeEnd_ - fedTo_, 0, BlockFrames));
    // The block is handed on even when empty at the end of the file; the
    // player keeps its own copy, so ours goes at once.
    const SampleArray block = count > 0 ? reader->ReadSamples(count) : SampleArray{};
    fedTo_ += block.frames();
    player->PlayArray(block);
}

void Preview::StopPlayback() {
    // Everything below runs even when the components fail, so the preview is
    // always left stopped; the first failure is reported afterwards.
    std::exception_ptr failure;
    try {
        if (IAudioPlayer2* player = currentPlayer())
            player->StopPlayer();
    } catch (...) {
        failure = std::current_exception();
    }
    try {
        IAudioFile2* reader = currentReader();
        if (reader && reader->IsOpen())
            reader->Close();
    } catch (...) {
        if (!failure)
            failure = std::current_exception();
    }

    if (lv_.count() > 0 && playingSegment_ >= 0 && playingSegment_ < lvTime_.count() &&
        lvTime_.text(playingSegment_, StatusColumn) == SegmentStatus::Playing)
        lvTime_.setText(playingSegment_, StatusColumn, savedStatus_);

    slider_.SetPosition(0);
    showTime(0);
    rangeEnd_ = -1;
    state_.Playing = false;
    state_.Seeking = false;
    segmentPreview_ = false;
    if (failure)
        std::rethrow_exception(failure);
}

void Preview::AudioPlayer21Timer(qint64 currentSamples, int levelLeft, qint64 levelRight) {
    Q_UNUSED(currentSamples);
    Q_UNUSED(levelLeft);
    // Late ticks after a stop, and ticks under the user's hand, change nothing.
    if (!state_.Playing || state_.Seeking)
        return;
    runGuarded([&] {
        const std::int64_t frame = startSample_ + std::max<qint64>(0, levelRight);
        playedFrame_ = segmentPreview_  ? segment_.beginFrame + frame
                       : rangeEnd_ >= 0 ? std::min(frame, rangeEnd_)
                                        : frame;
        const std::int32_t range = slider_.UsableRange();
        std::int32_t position = 0;
        if (segmentPreview_) {
            // An empty or reversed segment is over as soon as it starts.
            position = segment_.lengthFrames > 0
                           ? PreviewSlider::FrameToPosition(frame, segment_.lengthFrames, range)
                           : range;
        } else {
            position = PreviewSlider::FrameToPosition(frame, sampleCount_, range);
        }
        slider_.SetPosition(std::min(position, range));
        showTime(FramePosition::WholeSeconds(frame, rate_));
        // Without a usable slider there is no end to reach; the player's end
        // event stops the preview instead.
        if ((range > 0 && slider_.GetPosition() >= range) || (rangeEnd_ >= 0 && frame >= rangeEnd_))
            StopPlayback();
    });
}

void Preview::AudioPlayer21EndPlay() {
    if (!state_.Playing)
        return;
    runGuarded([this] { StopPlayback(); });
}

void Preview::AudioPlayer21EndArrayPlay() {
    runGuarded([this] { FeedPlayer(); });
}

void Preview::AudioPlayer21RequestOnLoadArray() {
    runGuarded([this] { FeedPlayer(); });
}

void Preview::runGuarded(const std::function<void()>& action) {
    // The player's events arrive from the event loop, where nobody else
    // would catch a failure: end the preview and show why.
    QString message;
    try {
        action();
        return;
    } catch (const Error& e) {
        message = e.message();
    } catch (const std::exception& e) {
        message = QString::fromLocal8Bit(e.what());
    }
    try {
        StopPlayback();
    } catch (...) {
    }
    desktop_.showError(message);
}

void Preview::Skin1MouseDown(const QString& name) {
    if (name == PbName)
        state_.Seeking = true;
}

void Preview::Skin1ScrollTrack(const QString& name, int newPos) {
    Q_UNUSED(newPos); // the slider itself reports the dragged position
    if (name == PbName)
        ShowDragPosition();
}

void Preview::ShowDragPosition() {
    const int row = selectedFile();
    if (row < 0 || !state_.Seeking)
        return;
    const std::int32_t range = slider_.UsableRange();
    const std::int32_t position = std::min(slider_.GetPosition(), range);
    slider_.SliderPos = position;
    if (isSegmentPreview())
        showTime(PreviewSlider::PositionToSeconds(position, segment_.seconds, range));
    else
        showTime(
            slider_.PositionToSeconds(position, state_.JobList[static_cast<size_t>(row)].Duration));
}

void Preview::Skin1MouseUp(const QString& name) {
    if (name != PbName)
        return;
    state_.Seeking = false;
    if (!state_.Playing)
        return; // the next PlayFile starts where the slider was left
    IAudioFile2* reader = currentReader();
    IAudioPlayer2* player = currentPlayer();
    const std::int32_t position = slider_.GetPosition();
    const std::int32_t range = slider_.UsableRange();
    if (range > 0 && position >= range) {
        StopPlayback();
        return;
    }
    if (!reader || !player || !reader->IsOpen())
        return;
    try {
        if (segmentPreview_) {
            startSample_ = PreviewSlider::PositionToFrame(position, segment_.lengthFrames, range);
            reader->Seek(segment_.beginFrame + startSample_, 3);
        } else {
            startSample_ = slider_.PositionToFrame(position, sampleCount_);
            reader->Seek(startSample_, 3);
            fedTo_ = startSample_;
        }
        player->Flush();
    } catch (...) {
        stopQuietly();
        throw;
    }
}

void Preview::StepForward() {
    const int row = selectedFile();
    if (row < 0 || state_.Playing)
        return;
    const std::int32_t duration = state_.JobList[static_cast<size_t>(row)].Duration;
    const std::int32_t position = slider_.GetPosition() + slider_.StepWidth(duration);
    if (position >= slider_.UsableRange())
        return;
    slider_.SetPosition(position);
    showTime(slider_.PositionToSeconds(position, duration));
}

void Preview::StepBack() {
    const int row = selectedFile();
    if (row < 0 || state_.Playing)
        return;
    const std::int32_t duration = state_.JobList[static_cast<size_t>(row)].Duration;
    const std::int32_t position = std::max(0, slider_.GetPosition() - slider_.StepWidth(duration));
    slider_.SetPosition(position);
    showTime(slider_.PositionToSeconds(position, duration));
}
