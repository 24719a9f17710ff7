#pragma once

#include <QWidget>

#include <cstdint>
#include <vector>

class WaveformCanvas;

// A thin strip above the editor's waveform showing the whole file, its
// pieces and the stretch in view; pressing or dragging on it brings that
// place into the middle of the view.
class OverviewStrip : public QWidget {
    Q_OBJECT

public:
    static constexpr int StripHeight = 34;

    explicit OverviewStrip(WaveformCanvas& canvas, QWidget* parent = nullptr);

    // The frame under x, over the whole file.
    std::int64_t frameAt(double x) const;
    double xOf(std::int64_t frame) const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;

private:
    void centreOn(double x);

    WaveformCanvas& canvas_;
    bool dragging_ = false;
    // Where in the view rectangle it was grabbed, so it does not jump.
    double grab_ = 0;
};
