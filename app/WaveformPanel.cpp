#include "app/WaveformPanel.h"
#include "core/Segments.h"

#include "app/Preview.h"
#include "app/SegmentEditor.h"
#include "app/SegmentList.h"
#include "app/SkinObjects.h"
#include "app/WaveformScene.h"
#include "app/WaveformView.h"
#include "app/skin/ISkinScrollBar.h"
#include "core/AppState.h"
#include "core/JobListModel.h"
#include "core/ReportListModel.h"
#include "core/RowSelection.h"
#include "engine/PiecePlan.h"

#include <QGuiApplication>

#include <algorithm>

namespace {
// Often enough for a smooth play line, rarely enough to cost nothing.
constexpr int TickMs = 50;
} // namespace

WaveformPanel::WaveformPanel(AppState& state, JobListModel& lv, QItemSelectionModel& lvSelection,
                             ReportListModel& lvTime, const SkinObjects& skin,
                             const Preview& preview, QWidget* window)
    : state_(state), lv_(lv), lvSelection_(lvSelection), lvTime_(lvTime), skin_(skin),
      preview_(preview) {
    view_ = new WaveformView(window);
    view_->setObjectName(SkinObjectName);
    view_->hide();

    // Adding many files changes the list many times; one sync follows.
    sync_.setSingleShot(true);
    sync_.setInterval(0);
    connect(&sync_, &QTimer::timeout, this, &WaveformPanel::syncFiles);
    const auto changed = [this] { sync_.start(); };
    connect(&lv_, &QAbstractItemModel::rowsInserted, this, changed);
    connect(&lv_, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(&lv_, &QAbstractItemModel::modelReset, this, changed);
    connect(&lv_, &QAbstractItemModel::dataChanged, this, changed);

    connect(&builder_, &WaveformBuilder::ready, this, &WaveformPanel::arrived);
    tick_.setInterval(TickMs);
    connect(&tick_, &QTimer::timeout, this, &WaveformPanel::refresh);
}

WaveformPanel::~WaveformPanel() = default;

void WaveformPanel::setShown(bool shown) {
    view_->setVisible(shown);
    if (shown) {
        view_->raise();
        tick_.start();
    } else {
        tick_.stop();
    }
}

int WaveformPanel::selectedFile() const {
    return RowSelection(lvSelection_).selectedBelow(lv_.count());
}

void WaveformPanel::syncFiles() {
    const int files = lv_.count();
    QStringList paths;
    for (int i = 0; i < files; ++i)
        paths << state_.JobList[static_cast<size_t>(i)].FileName;
    builder_.retain(paths);
    const int selected = selectedFile();
    if (selected >= 0)
        builder_.request(paths[selected], true);
    for (const QString& path : std::as_const(paths))
        builder_.request(path);
    refresh();
}

double WaveformPanel::playPosition(int file) const {
    if (!skin_.pb)
        return -1;
    const int usable = skin_.pb->GetMax() - skin_.pb->GetThumbSize();
    if (usable <= 0)
        return -1;
    const double along = std::clamp(skin_.pb->GetPosition() / double(usable), 0.0, 1.0);
    // In a segment preview the slider runs over the segment alone.
    if (preview_.isSegmentPreview() && file >= 0) {
        listrecord shown = PiecePlan::SharesSegments(PiecePlan::ModeIn(state_))
                               ? state_.JobList.front()
                               : state_.JobList[static_cast<size_t>(file)];
        Segments::Normalise(shown);
        const int segment = preview_.PlayingSegment();
        const listrecord& record = state_.JobList[static_cast<size_t>(file)];
        if (segment >= 0 && segment < shown.SegmentCount && record.Duration > 0) {
            const auto k = static_cast<size_t>(segment);
            const double begin = shown.BeginTimes[k];
            const double end = shown.EndTimes[k];
            return (begin + along * (end - begin)) / record.Duration;
        }
    }
    return along;
}

void WaveformPanel::refresh() {
    if (!view_->isVisible())
        return;
    const int file = selectedFile();
    std::shared_ptr<const AudioOverview> overview;
    if (file >= 0) {
        const QString& path = state_.JobList[static_cast<size_t>(file)].FileName;
        overview = builder_.overview(path);
        // Pushed out of the cache by newer files: computed again when looked at.
        if (!overview)
            builder_.request(path, true);
    }
    view_->setScene(WaveformScene::Of(state_, file, std::move(overview), playPosition(file)));
}

void WaveformPanel::arrived(const QString& path) {
    if (path == waitingFor_) {
        waitingFor_.clear();
        const int file = selectedFile();
        if (refill_ && !state_.Busy && PiecePlan::NeedsSilences(state_) && file >= 0 &&
            state_.JobList[static_cast<size_t>(file)].FileName == path)
            refill_();
    }
    refresh();
}

void WaveformPanel::fillSilencePieces(const listrecord& record) {
    lvTime_.clear();
    const auto overview = builder_.overview(record.FileName);
    if (!overview) {
        waitingFor_ = record.FileName;
        builder_.request(record.FileName, true);
        const int row =
            lvTime_.append(Segments::SegmentRow(0, record.Duration, SegmentStatus::Unconvert));
        const QString failure = builder_.failure(record.FileName);
        lvTime_.setNote(row, failure.isEmpty()
                                 ? QStringLiteral("Looking for silences...")
                                 : QStringLiteral("Cannot look for silences: %1").arg(failure));
        return;
    }
    SegmentList(state_, lvTime_).FillPieces(*silencePlan(record), record.SampleRate);
}

std::optional<std::vector<PiecePlan::Piece>> WaveformPanel::silencePlan(const listrecord& record) {
    const auto overview = builder_.overview(record.FileName);
    if (!overview)
        return std::nullopt;
    return PiecePlan::Of(state_, selectedFile(), PiecePlan::Source::Of(record),
                         WaveformScene::SilencesOf(state_, *overview));
}

std::int32_t WaveformPanel::snapMark(const listrecord& record, std::int32_t seconds) {
    const bool asked =
        state_.SnapMarks || QGuiApplication::keyboardModifiers().testFlag(Qt::ShiftModifier);
    if (!asked)
        return seconds;
    const auto overview = builder_.overview(record.FileName);
    if (!overview)
        return seconds;
    const auto snapped = SilenceFinder::SnapMarkSeconds(
        WaveformScene::SilencesOf(state_, *overview), std::int64_t{seconds} * 1000,
        std::int64_t{state_.SnapSeconds} * 1000);
    return snapped.value_or(seconds);
}
