#pragma once

#include "engine/PiecePlan.h"
#include "engine/WaveformBuilder.h"

#include <QObject>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

class Preview;
class QItemSelectionModel;
class JobListModel;
class ReportListModel;
class WaveformView;
struct AppState;
struct SkinObjects;
struct listrecord;

// The window's waveform: keeps an overview computed in the background for
// every listed file (from the moment it is added; a removed file is called
// off at once), shows the selected file's in the view the skin places, and
// answers the segment editor's questions about silences. The view is a child
// of the window; the panel itself belongs to the window's owner.
class WaveformPanel : public QObject {
    Q_OBJECT

public:
    // The skin object that places the view; a skin without it shows none.
    static inline const QString SkinObjectName = QStringLiteral("wave");

    WaveformPanel(AppState& state, JobListModel& lv, QItemSelectionModel& lvSelection,
                  ReportListModel& lvTime, const SkinObjects& skin, const Preview& preview,
                  QWidget* window);
    ~WaveformPanel() override;

    WaveformBuilder& builder() { return builder_; }
    WaveformView* view() const { return view_; }
    // Whether the applied skin has a place for the view.
    void setShown(bool shown);
    // Called when the selected file's silences become known while the
    // segment list shows its pieces, so the list can be filled again.
    void setRefillSegments(std::function<void()> refill) { refill_ = std::move(refill); }

    // The rows of "Split at silences" for `record` on the segment list; one
    // row over the whole file, noted, while its silences are not known yet.
    void fillSilencePieces(const listrecord& record);
    // The planned pieces of the selected file (`record`) in a function that
    // needs its silences; none while they are not known.
    std::optional<std::vector<PiecePlan::Piece>> silencePlan(const listrecord& record);
    // A Begin or End mark moved to the nearest silence edge within the snap
    // window, when snapping is on or Shift is held; else `seconds`.
    std::int32_t snapMark(const listrecord& record, std::int32_t seconds);

    // Brings the view up to date with the list, the selection and the slider.
    void refresh();

private:
    void syncFiles();
    int selectedFile() const;
    double playPosition(int file) const;
    void arrived(const QString& path);

    AppState& state_;
    JobListModel& lv_;
    QItemSelectionModel& lvSelection_;
    ReportListModel& lvTime_;
    const SkinObjects& skin_;
    const Preview& preview_;
    WaveformBuilder builder_;
    WaveformView* view_ = nullptr;
    QTimer sync_;
    QTimer tick_;
    QString waitingFor_; // the file whose pieces the segment list waits for
    std::function<void()> refill_;
};
