#include "app/editor/OverviewStrip.h"

#include "app/editor/WaveformCanvas.h"

#include <QMouseEvent>
#include <QPainter>

#include <algorithm>
#include <cmath>

namespace {

const QColor Background(20, 23, 28);
const QColor Wave(110, 150, 180);
const QColor PieceBar(245, 138, 60, 170);
const QColor ViewFill(255, 255, 255, 40);
const QColor ViewEdge(255, 255, 255, 170);

} // namespace

OverviewStrip::OverviewStrip(WaveformCanvas& canvas, QWidget* parent)
    : QWidget(parent), canvas_(canvas) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setFixedHeight(StripHeight);
    setCursor(Qt::PointingHandCursor);
    connect(&canvas_, &WaveformCanvas::viewChanged, this, qOverload<>(&QWidget::update));
}

QSize OverviewStrip::sizeHint() const {
    return {400, StripHeight};
}

std::int64_t OverviewStrip::frameAt(double x) const {
    const std::int64_t frames = canvas_.axis().frames();
    if (width() <= 0 || frames <= 0)
        return 0;
    return std::clamp<std::int64_t>(static_cast<std::int64_t>(x / width() * double(frames)), 0,
                                    frames);
}

double OverviewStrip::xOf(std::int64_t frame) const {
    const std::int64_t frames = canvas_.axis().frames();
    return frames > 0 ? double(frame) / double(frames) * width() : 0.0;
}

void OverviewStrip::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Background);
    const int w = width();
    const double middle = height() / 2.0;
    const double scale = (height() - 6) / 2.0;
    if (const auto& sketch = canvas_.sketch();
        (!canvas_.overview() || canvas_.overview()->bins() == 0) && sketch && w > 0) {
        const double perPixel = double(sketch->frames) / w;
        for (int x = 0; x < w; ++x) {
            PeakPyramid::Peak p;
            int low = 0;
            int high = 0;
            for (int lane = 0; lane < sketch->lanes; ++lane)
                if (sketch->peakOver(lane, x * perPixel, (x + 1) * perPixel, p)) {
                    low = std::min<int>(low, p.low);
                    high = std::max<int>(high, p.high);
                }
            const double top = middle - high / 32767.0 * scale;
            const double bottom = middle - low / 32767.0 * scale;
            painter.fillRect(QRectF(x, top, 1, std::max(1.0, bottom - top)), Wave);
        }
    } else if (const auto& overview = canvas_.overview();
               overview && overview->bins() > 0 && w > 0) {
        // Every bin once: the strip is the whole file at any zoom.
        const double perPixel = double(overview->bins()) / w;
        for (int x = 0; x < w; ++x) {
            const auto a = static_cast<size_t>(x * perPixel);
            const auto b = std::min(overview->bins(),
                                    std::max(a + 1, static_cast<size_t>((x + 1) * perPixel)));
            int low = 0;
            int high = 0;
            for (size_t k = a; k < b; ++k) {
                low = std::min<int>(low, overview->low[k]);
                high = std::max<int>(high, overview->high[k]);
            }
            const double top = middle - high / 32767.0 * scale;
            const double bottom = middle - low / 32767.0 * scale;
            painter.fillRect(QRectF(x, top, 1, std::max(1.0, bottom - top)), Wave);
        }
    }
    for (const EditorPieces::Region& r : canvas_.regions()) {
        const double a = xOf(r.begin);
        const double b = xOf(r.end);
        painter.fillRect(QRectF(a, height() - 4, std::max(1.0, b - a - 1), 3), PieceBar);
    }
    const TimeAxis& axis = canvas_.axis();
    const double from = xOf(static_cast<std::int64_t>(axis.first()));
    const double to = xOf(static_cast<std::int64_t>(axis.first() + axis.visibleFrames()));
    const QRectF view(from, 0.5, std::max(3.0, to - from), height() - 1.0);
    painter.fillRect(view, ViewFill);
    painter.setPen(ViewEdge);
    painter.drawRect(view);
    const double head = xOf(canvas_.playhead());
    painter.setPen(QColor(245, 138, 60));
    painter.drawLine(QPointF(head, 0), QPointF(head, height()));
}

void OverviewStrip::centreOn(double x) {
    TimeAxis& axis = canvas_.axis();
    axis.scrollTo(double(frameAt(x)) - axis.visibleFrames() / 2);
    canvas_.axisChanged();
}

void OverviewStrip::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    dragging_ = true;
    const TimeAxis& axis = canvas_.axis();
    const double x = event->position().x();
    const double from = xOf(static_cast<std::int64_t>(axis.first()));
    const double to = xOf(static_cast<std::int64_t>(axis.first() + axis.visibleFrames()));
    // Grabbing the view rectangle drags it from where it was taken; a press
    // elsewhere centres the view there first.
    grab_ = x >= from && x <= to ? x - (from + to) / 2 : 0;
    centreOn(x - grab_);
}

void OverviewStrip::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_)
        centreOn(event->position().x() - grab_);
}

void OverviewStrip::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() == Qt::LeftButton)
        dragging_ = false;
}
