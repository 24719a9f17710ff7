#pragma once

#include "app/editor/EditorPieces.h"
#include "app/editor/RegionHit.h"
#include "app/editor/TimeAxis.h"
#include "app/editor/WaveformSketch.h"
#include "engine/audio/AudioOverview.h"
#include "engine/audio/SampleArray.h"

#include <QPointF>
#include <QRect>
#include <QString>
#include <QThreadPool>
#include <QWidget>

#include <cstdint>
#include <memory>
#include <utility>
#include <vector>

class QLineEdit;

// The editor's waveform: a time ruler, one lane per channel drawn from the
// file's peak pyramid (or from its decoded samples when zoomed in past the
// pyramid, with a dot per sample at the deepest zooms), the pieces as
// coloured regions with number and title, and the playhead. It turns mouse
// gestures into requests; the editor decides what they change.
class WaveformCanvas : public QWidget {
    Q_OBJECT

public:
    static constexpr int RulerHeight = 24;
    static constexpr int TitleHeight = 18;

    explicit WaveformCanvas(QWidget* parent = nullptr);
    ~WaveformCanvas() override;

    // A new file (or none); the view shows it whole.
    void setFile(const QString& path, std::int64_t frames, std::int32_t rate);
    void setOverview(std::shared_ptr<const AudioOverview> overview);
    const std::shared_ptr<const AudioOverview>& overview() const { return overview_; }
    // What is drawn until the file's pyramid is built.
    void setSketch(std::shared_ptr<const WaveformSketch> sketch);
    const std::shared_ptr<const WaveformSketch>& sketch() const { return sketch_; }
    // The silences found, as frame ranges, shaded under the waveform.
    void setSilences(std::vector<std::pair<std::int64_t, std::int64_t>> silences);
    const std::vector<std::pair<std::int64_t, std::int64_t>>& silences() const { return silences_; }
    void setRegions(std::vector<EditorPieces::Region> regions, bool editable);
    const std::vector<EditorPieces::Region>& regions() const { return regions_; }
    void setSelected(int row);
    int selected() const { return selected_; }
    void setPlayhead(std::int64_t frame);
    std::int64_t playhead() const { return playhead_; }

    TimeAxis& axis() { return axis_; }
    const TimeAxis& axis() const { return axis_; }
    // Call after changing the axis from outside.
    void axisChanged();

    // Where piece `row`'s title is drawn, for the tests' double-clicks.
    QPoint titlePoint(int row) const;
    // Whether the samples of the visible stretch are at hand.
    bool hasDetail() const;

signals:
    void viewChanged();
    void playheadMoved(std::int64_t frame);
    void regionSelected(int row);
    // An edge dragged to `frame`; `snap` when the snapping key was held.
    void edgeDropped(int row, bool begin, std::int64_t frame, bool snap);
    void regionDrawn(std::int64_t begin, std::int64_t end);
    // A piece dragged whole so that it begins at `begin`.
    void regionMoved(int row, std::int64_t begin);
    // A double-click on a piece's body: listen to it.
    void regionPlayRequested(int row);
    void renamed(int row, const QString& title);

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Drag { None, Edge, Create, Playhead, Move };

    QRect lanesRect() const;
    void drawRuler(QPainter& painter);
    void drawLane(QPainter& painter, int lane, const QRect& rect);
    // One pixel column of a lane from `top` to `bottom`, drawn by fillColumns.
    void column(int x, double top, double bottom);
    void fillColumns(QPainter& painter);
    bool detailCovers(double from, double to) const;
    int laneCount() const;
    // Asks for the samples around the view when it is zoomed past the
    // pyramid; they arrive on this thread.
    void requestDetail();
    void detailArrived(std::uint64_t generation, std::int64_t start, SampleArray samples);
    void startRename(int row);

    TimeAxis axis_;
    QString path_;
    std::shared_ptr<const AudioOverview> overview_;
    std::shared_ptr<const WaveformSketch> sketch_;
    std::vector<EditorPieces::Region> regions_;
    bool editable_ = false;
    std::vector<std::pair<std::int64_t, std::int64_t>> silences_;
    int selected_ = -1;
    std::int64_t playhead_ = 0;

    Drag drag_ = Drag::None;
    int dragRow_ = -1;
    bool dragBegin_ = false;
    std::int64_t dragFrom_ = 0;
    std::int64_t dragTo_ = 0;
    // Where in a moved piece it was grabbed.
    std::int64_t grabOffset_ = 0;
    bool dragging_ = false;
    QPointF pressAt_;

    SampleArray detail_;
    std::int64_t detailStart_ = 0;
    std::int64_t pendingFrom_ = -1;
    std::int64_t pendingTo_ = -1;
    std::uint64_t generation_ = 0;
    QThreadPool pool_;

    QLineEdit* rename_ = nullptr;
    int renameRow_ = -1;

    // Reused between paints.
    std::vector<PeakPyramid::Peak> peaks_;
    std::vector<QRect> columns_;
};
