#include "app/editor/WaveformCanvas.h"

#include "engine/audio/AudioReader.h"

#include <QKeyEvent>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>
#include <exception>

namespace {

const QColor Background(27, 31, 37);
const QColor LaneLine(60, 68, 80);
const QColor Wave(156, 205, 240);
const QColor PlayheadColour(245, 138, 60);
const QColor RulerText(200, 208, 218);
// Silences darken what lies under them.
const QColor SilenceShade(0, 0, 0, 110);
const QColor SilenceMark(120, 130, 145);

// Neighbouring pieces in different hues.
QColor regionColour(int row, int alpha) {
    static const QColor hues[] = {{245, 138, 60},  {125, 226, 198}, {176, 140, 255},
                                  {255, 214, 102}, {110, 180, 255}, {255, 120, 160}};
    QColor c = hues[static_cast<size_t>(row) % std::size(hues)];
    c.setAlpha(alpha);
    return c;
}

// Samples decoded around the view at most, so a wide window stays quick.
constexpr std::int64_t MaxDetailFrames = 1 << 22;
// Pixels a press must move before it drags.
constexpr double DragStart = 4.0;

} // namespace

WaveformCanvas::WaveformCanvas(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(true);
    setFocusPolicy(Qt::StrongFocus);
    setMinimumSize(200, 120);
    pool_.setMaxThreadCount(1);
}

WaveformCanvas::~WaveformCanvas() {
    ++generation_;
    pool_.clear();
    pool_.waitForDone();
}

void WaveformCanvas::setFile(const QString& path, std::int64_t frames, std::int32_t rate) {
    path_ = path;
    axis_.setWidth(width());
    axis_.setFile(frames, rate);
    ++generation_;
    detail_ = {};
    pendingFrom_ = pendingTo_ = -1;
    playhead_ = 0;
    selected_ = -1;
    axisChanged();
}

void WaveformCanvas::setOverview(std::shared_ptr<const AudioOverview> overview) {
    if (overview == overview_)
        return;
    overview_ = std::move(overview);
    update();
}

void WaveformCanvas::setSketch(std::shared_ptr<const WaveformSketch> sketch) {
    if (sketch == sketch_)
        return;
    sketch_ = std::move(sketch);
    update();
}

int WaveformCanvas::laneCount() const {
    if (overview_ && overview_->pyramid)
        return overview_->pyramid->lanes();
    return sketch_ ? sketch_->lanes : 1;
}

void WaveformCanvas::setSilences(std::vector<std::pair<std::int64_t, std::int64_t>> silences) {
    if (silences == silences_)
        return;
    silences_ = std::move(silences);
    update();
}

void WaveformCanvas::setRegions(std::vector<EditorPieces::Region> regions, bool editable) {
    if (regions == regions_ && editable == editable_)
        return;
    regions_ = std::move(regions);
    editable_ = editable;
    if (selected_ >= static_cast<int>(regions_.size()))
        selected_ = -1;
    // A piece changed elsewhere under a drag ends the drag.
    if ((drag_ == Drag::Move || drag_ == Drag::Edge) &&
        (!editable_ || dragRow_ >= static_cast<int>(regions_.size()))) {
        drag_ = Drag::None;
        dragging_ = false;
    }
    update();
}

void WaveformCanvas::setSelected(int row) {
    if (row == selected_)
        return;
    selected_ = row;
    update();
}

void WaveformCanvas::setPlayhead(std::int64_t frame) {
    frame = std::clamp<std::int64_t>(frame, 0, axis_.frames());
    if (frame == playhead_)
        return;
    playhead_ = frame;
    update();
}

void WaveformCanvas::axisChanged() {
    requestDetail();
    update();
    emit viewChanged();
}

QRect WaveformCanvas::lanesRect() const {
    return QRect(0, RulerHeight + TitleHeight, width(),
                 std::max(1, height() - RulerHeight - TitleHeight));
}

QPoint WaveformCanvas::titlePoint(int row) const {
    if (row < 0 || row >= static_cast<int>(regions_.size()))
        return {};
    const EditorPieces::Region& r = regions_[static_cast<size_t>(row)];
    const double from = std::max(0.0, axis_.xOf(r.begin));
    const double to = std::min<double>(width(), axis_.xOf(r.end));
    return QPoint(static_cast<int>((from + to) / 2), RulerHeight + TitleHeight / 2);
}

bool WaveformCanvas::detailCovers(double from, double to) const {
    return !detail_.empty() && static_cast<double>(detailStart_) <= std::max(0.0, from) &&
           static_cast<double>(detailStart_ + detail_.frames()) >=
               std::min(to, static_cast<double>(axis_.frames()));
}

bool WaveformCanvas::hasDetail() const {
    return detailCovers(axis_.first(), axis_.first() + axis_.visibleFrames());
}

void WaveformCanvas::requestDetail() {
    if (path_.isEmpty())
        return;
    const double finest =
        overview_ && overview_->pyramid ? double(overview_->pyramid->binFrames(0)) : 256.0;
    if (axis_.framesPerPixel() >= finest)
        return;
    const double from = axis_.first();
    const double to = from + axis_.visibleFrames();
    if (detailCovers(from, to))
        return;
    // The view and as much again either side, so scrolling stays drawn.
    const double span = to - from;
    const auto wantFrom = static_cast<std::int64_t>(std::max(0.0, from - span));
    const auto wantTo = std::min<std::int64_t>(
        axis_.frames(),
        std::min<std::int64_t>(static_cast<std::int64_t>(to + span), wantFrom + MaxDetailFrames));
    if (pendingFrom_ <= from && pendingTo_ >= std::min<double>(to, double(axis_.frames())))
        return;
    pendingFrom_ = wantFrom;
    pendingTo_ = wantTo;
    const std::uint64_t generation = ++generation_;
    const QString path = path_;
    pool_.clear();
    pool_.start([this, generation, path, wantFrom, wantTo] {
        SampleArray samples;
        try {
            AudioReader reader(path);
            // Drawing wants speed; most formats seek exactly even so.
            reader.setQuickSeeks(true);
            reader.seek(wantFrom);
            samples = reader.read(static_cast<int>(wantTo - wantFrom));
        } catch (const std::exception&) {
            // Without its samples the pyramid's finest level is drawn.
        }
        QMetaObject::invokeMethod(
            this,
            [this, generation, wantFrom, s = std::move(samples)]() mutable {
                detailArrived(generation, wantFrom, std::move(s));
            },
            Qt::QueuedConnection);
    });
}

void WaveformCanvas::detailArrived(std::uint64_t generation, std::int64_t start,
                                   SampleArray samples) {
    if (generation != generation_)
        return;
    pendingFrom_ = pendingTo_ = -1;
    detail_ = std::move(samples);
    detailStart_ = start;
    update();
}

void WaveformCanvas::resizeEvent(QResizeEvent* event) {
    QWidget::resizeEvent(event);
    axis_.setWidth(width());
    axisChanged();
}

void WaveformCanvas::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.fillRect(rect(), Background);
    const QRect lanes = lanesRect();
    const QRect band(0, RulerHeight, width(), TitleHeight);

    // Pieces under the waveform, their titles in the band above it.
    painter.setFont(font());
    for (size_t k = 0; k < regions_.size(); ++k) {
        const EditorPieces::Region& r = regions_[k];
        const double from = axis_.xOf(r.begin);
        const double to = axis_.xOf(r.end);
        if (to < 0 || from > width())
            continue;
        const bool chosen = static_cast<int>(k) == selected_;
        const QRectF area(from, RulerHeight, std::max(1.0, to - from), height() - RulerHeight);
        painter.fillRect(area, regionColour(static_cast<int>(k), chosen ? 90 : 45));
        painter.fillRect(QRectF(from, band.top(), std::max(1.0, to - from), band.height()),
                         regionColour(static_cast<int>(k), chosen ? 200 : 120));
        const QString label = r.title.isEmpty()
                                  ? QString::number(r.number)
                                  : QStringLiteral("%1  %2").arg(r.number).arg(r.title);
        const QRectF text =
            QRectF(std::max(from, 0.0) + 3, band.top(),
                   std::min<double>(to, width()) - std::max(from, 0.0) - 6, band.height());
        if (text.width() > 8) {
            painter.setPen(Qt::black);
            painter.drawText(text, Qt::AlignVCenter | Qt::AlignLeft,
                             painter.fontMetrics().elidedText(label, Qt::ElideRight,
                                                              static_cast<int>(text.width())));
        }
    }

    for (const auto& [begin, end] : silences_) {
        const double from = axis_.xOf(begin);
        const double to = axis_.xOf(end);
        if (to < 0 || from > width())
            continue;
        const QRectF area(from, lanes.top(), std::max(1.0, to - from), lanes.height());
        painter.fillRect(area, SilenceShade);
        painter.fillRect(QRectF(area.left(), lanes.bottom() - 3, area.width(), 3), SilenceMark);
    }

    const int count = laneCount();
    const int laneHeight = std::max(1, lanes.height() / std::max(count, 1));
    for (int lane = 0; lane < count; ++lane) {
        const QRect r(0, lanes.top() + lane * laneHeight, width(), laneHeight);
        painter.setPen(LaneLine);
        painter.drawLine(0, r.bottom(), width(), r.bottom());
        drawLane(painter, lane, r);
    }

    // The cuts, and what a drag would make of them.
    for (const EditorPieces::Region& r : regions_) {
        for (const std::int64_t edge : {r.begin, r.end}) {
            const double x = axis_.xOf(edge);
            if (x >= -1 && x <= width() + 1) {
                painter.setPen(QColor(255, 255, 255, 150));
                painter.drawLine(QPointF(x, RulerHeight), QPointF(x, height()));
            }
        }
    }
    if (drag_ == Drag::Create) {
        const double a = axis_.xOf(std::min(dragFrom_, dragTo_));
        const double b = axis_.xOf(std::max(dragFrom_, dragTo_));
        painter.fillRect(QRectF(a, RulerHeight, b - a, height() - RulerHeight),
                         QColor(255, 255, 255, 50));
    } else if (drag_ == Drag::Move && dragging_) {
        const EditorPieces::Region& r = regions_[static_cast<size_t>(dragRow_)];
        const double a = axis_.xOf(dragTo_);
        const double b = axis_.xOf(dragTo_ + (r.end - r.begin));
        painter.fillRect(QRectF(a, RulerHeight, b - a, height() - RulerHeight),
                         QColor(255, 255, 255, 40));
        painter.setPen(QPen(QColor(255, 255, 255), 2));
        painter.drawLine(QPointF(a, RulerHeight), QPointF(a, height()));
        painter.drawLine(QPointF(b, RulerHeight), QPointF(b, height()));
    } else if (drag_ == Drag::Edge) {
        const double x = axis_.xOf(dragTo_);
        painter.setPen(QPen(QColor(255, 255, 255), 2));
        painter.drawLine(QPointF(x, RulerHeight), QPointF(x, height()));
    }

    const double head = axis_.xOf(playhead_);
    if (head >= 0 && head <= width()) {
        painter.setPen(PlayheadColour);
        painter.drawLine(QPointF(head, 0), QPointF(head, height()));
    }
    drawRuler(painter);
}

void WaveformCanvas::drawRuler(QPainter& painter) {
    painter.fillRect(0, 0, width(), RulerHeight, Background.darker(130));
    painter.setPen(RulerText);
    for (const TimeAxis::Tick& tick : axis_.ticks()) {
        const double x = std::round(axis_.xOf(tick.frame)) + 0.5;
        painter.drawLine(QPointF(x, tick.labelled ? 12 : 18), QPointF(x, RulerHeight));
        if (tick.labelled)
            painter.drawText(QPointF(x + 3, 11), tick.label);
    }
}

void WaveformCanvas::drawLane(QPainter& painter, int lane, const QRect& rect) {
    const double middle = rect.top() + rect.height() / 2.0;
    const double scale = (rect.height() - 2) / 2.0;
    const double perPixel = axis_.framesPerPixel();
    const double first = axis_.first();
    const int w = width();
    columns_.clear();
    painter.setPen(Wave);

    const bool fromSamples =
        detailCovers(first, first + axis_.visibleFrames()) && detail_.channels > 0 &&
        (!overview_ || !overview_->pyramid || perPixel < double(overview_->pyramid->binFrames(0)));
    if (fromSamples) {
        // The lane's channels as the pyramid merges them.
        const int channels = detail_.channels;
        const int lanes = laneCount();
        const auto sampleAt = [&](std::int64_t frame, float& low, float& high) {
            const std::int64_t i = frame - detailStart_;
            low = high = 0;
            if (i < 0 || i >= detail_.frames())
                return false;
            bool any = false;
            for (int ch = 0; ch < channels; ++ch) {
                if (std::min(ch, lanes - 1) != lane)
                    continue;
                const float v = detail_.samples[static_cast<size_t>(i * channels + ch)];
                low = any ? std::min(low, v) : v;
                high = any ? std::max(high, v) : v;
                any = true;
            }
            return any;
        };
        if (perPixel >= 1.0) {
            for (int x = 0; x < w; ++x) {
                const auto a = static_cast<std::int64_t>(first + x * perPixel);
                const auto b =
                    std::max(a + 1, static_cast<std::int64_t>(first + (x + 1) * perPixel));
                float low = 0;
                float high = 0;
                bool any = false;
                for (std::int64_t f = a; f < b; ++f) {
                    float l = 0;
                    float h = 0;
                    if (!sampleAt(f, l, h))
                        continue;
                    low = any ? std::min(low, l) : l;
                    high = any ? std::max(high, h) : h;
                    any = true;
                }
                if (any)
                    column(x, middle - high * scale, middle - low * scale);
            }
            fillColumns(painter);
            return;
        }
        // Fewer frames than pixels: the samples joined by lines, and a dot
        // on each once they stand far enough apart.
        const auto from = static_cast<std::int64_t>(std::floor(first));
        const auto to = static_cast<std::int64_t>(std::ceil(first + axis_.visibleFrames())) + 1;
        const bool dots = 1.0 / perPixel >= TimeAxis::DotsFromPixelsPerFrame;
        QPointF last;
        bool have = false;
        painter.setRenderHint(QPainter::Antialiasing, true);
        for (std::int64_t f = from; f <= to; ++f) {
            float low = 0;
            float high = 0;
            if (!sampleAt(f, low, high))
                continue;
            // One channel per lane at this zoom; merged lanes show their peak.
            const float v = std::abs(high) >= std::abs(low) ? high : low;
            const QPointF p(axis_.xOf(f) + 0.5 / perPixel, middle - v * scale);
            if (have)
                painter.drawLine(last, p);
            if (dots) {
                painter.setBrush(Wave);
                painter.drawEllipse(p, 2.5, 2.5);
            }
            last = p;
            have = true;
        }
        painter.setRenderHint(QPainter::Antialiasing, false);
        painter.setBrush(Qt::NoBrush);
        return;
    }

    if (!overview_ || !overview_->pyramid) {
        if (!sketch_)
            return;
        for (int x = 0; x < w; ++x) {
            const double a = first + x * perPixel;
            PeakPyramid::Peak p;
            if (a < double(axis_.frames()) &&
                sketch_->peakOver(lane, a, std::max(a + 1, a + perPixel), p) &&
                (p.low != 0 || p.high != 0))
                column(x, middle - p.high / 32767.0 * scale, middle - p.low / 32767.0 * scale);
        }
        fillColumns(painter);
        return;
    }
    overview_->pyramid->columns(lane, first, perPixel, w, peaks_);
    for (int x = 0; x < w; ++x) {
        const PeakPyramid::Peak& p = peaks_[static_cast<size_t>(x)];
        if (p.low == 0 && p.high == 0)
            continue;
        column(x, middle - p.high / 32767.0 * scale, middle - p.low / 32767.0 * scale);
    }
    fillColumns(painter);
}

void WaveformCanvas::column(int x, double top, double bottom) {
    const auto t = static_cast<int>(std::floor(top));
    const auto b = static_cast<int>(std::ceil(bottom));
    columns_.emplace_back(x, t, 1, std::max(1, b - t + 1));
}

void WaveformCanvas::fillColumns(QPainter& painter) {
    // Filled as rectangles: much quicker than as lines on a raster.
    for (const QRect& r : columns_)
        painter.fillRect(r, Wave);
    columns_.clear();
}

void WaveformCanvas::mousePressEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mousePressEvent(event);
    setFocus(Qt::MouseFocusReason);
    pressAt_ = event->position();
    const RegionHit hit = RegionHit::At(regions_, axis_, event->position().x(),
                                        event->position().y() - RulerHeight, TitleHeight);
    const std::int64_t frame = axis_.frameAt(event->position().x());
    dragFrom_ = dragTo_ = frame;
    dragRow_ = hit.row;
    dragging_ = false;
    if (editable_ && (hit.part == RegionHit::Part::Begin || hit.part == RegionHit::Part::End) &&
        event->position().y() >= RulerHeight) {
        drag_ = Drag::Edge;
        dragBegin_ = hit.part == RegionHit::Part::Begin;
        const EditorPieces::Region& r = regions_[static_cast<size_t>(hit.row)];
        dragFrom_ = dragTo_ = dragBegin_ ? r.begin : r.end;
        setSelected(hit.row);
        emit regionSelected(hit.row);
        return;
    }
    if (hit.part == RegionHit::Part::Title || hit.part == RegionHit::Part::Body) {
        setSelected(hit.row);
        emit regionSelected(hit.row);
    }
    // On the ruler the playhead follows the mouse; on a piece a drag moves
    // it whole; over empty space a drag marks a new piece.
    if (event->position().y() < RulerHeight)
        drag_ = Drag::Playhead;
    else if (hit.part != RegionHit::Part::None) {
        drag_ = editable_ ? Drag::Move : Drag::Playhead;
        const EditorPieces::Region& r = regions_[static_cast<size_t>(hit.row)];
        grabOffset_ = frame - r.begin;
        dragFrom_ = dragTo_ = r.begin;
    } else
        drag_ = Drag::Create;
    setPlayhead(frame);
    emit playheadMoved(playhead_);
}

void WaveformCanvas::mouseMoveEvent(QMouseEvent* event) {
    const double x = event->position().x();
    if (drag_ == Drag::None) {
        const RegionHit hit =
            RegionHit::At(regions_, axis_, x, event->position().y() - RulerHeight, TitleHeight);
        const bool edge = editable_ && event->position().y() >= RulerHeight &&
                          (hit.part == RegionHit::Part::Begin || hit.part == RegionHit::Part::End);
        const bool body = editable_ && event->position().y() >= RulerHeight &&
                          (hit.part == RegionHit::Part::Body || hit.part == RegionHit::Part::Title);
        setCursor(edge ? Qt::SizeHorCursor : body ? Qt::OpenHandCursor : Qt::ArrowCursor);
        return;
    }
    // Dragging past either end scrolls the view along.
    if (x < 0 || x > width()) {
        axis_.scrollBy(x < 0 ? x : x - width());
        axisChanged();
    }
    const std::int64_t frame = axis_.frameAt(std::clamp<double>(x, 0, width()));
    if (drag_ == Drag::Playhead) {
        setPlayhead(frame);
        emit playheadMoved(playhead_);
        return;
    }
    if (!dragging_ && std::abs(x - pressAt_.x()) < DragStart)
        return;
    dragging_ = true;
    if (drag_ == Drag::Move)
        dragTo_ = EditorPieces::MovedBegin(regions_, dragRow_, frame - grabOffset_, axis_.frames());
    else
        dragTo_ = frame;
    update();
}

void WaveformCanvas::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton)
        return QWidget::mouseReleaseEvent(event);
    const Drag drag = std::exchange(drag_, Drag::None);
    update();
    const bool moved = dragging_ && dragTo_ != dragFrom_;
    dragging_ = false;
    if (drag == Drag::Move && moved)
        emit regionMoved(dragRow_, dragTo_);
    else if (drag == Drag::Edge && moved)
        emit edgeDropped(dragRow_, dragBegin_, dragTo_,
                         event->modifiers().testFlag(Qt::ShiftModifier));
    else if (drag == Drag::Create && moved && editable_)
        emit regionDrawn(std::min(dragFrom_, dragTo_), std::max(dragFrom_, dragTo_));
    else if (drag == Drag::Create) {
        setSelected(-1);
        emit regionSelected(-1);
    }
}

void WaveformCanvas::mouseDoubleClickEvent(QMouseEvent* event) {
    const RegionHit hit = RegionHit::At(regions_, axis_, event->position().x(),
                                        event->position().y() - RulerHeight, TitleHeight);
    if (editable_ && hit.part == RegionHit::Part::Title)
        startRename(hit.row);
    else if (hit.part == RegionHit::Part::Title || hit.part == RegionHit::Part::Body)
        emit regionPlayRequested(hit.row);
}

void WaveformCanvas::startRename(int row) {
    if (!rename_) {
        rename_ = new QLineEdit(this);
        rename_->setObjectName(QStringLiteral("renamePiece"));
        connect(rename_, &QLineEdit::editingFinished, this, [this] {
            if (!rename_->isVisible())
                return;
            const int r = std::exchange(renameRow_, -1);
            rename_->hide();
            setFocus();
            if (r >= 0)
                emit renamed(r, rename_->text());
        });
        rename_->installEventFilter(this);
    }
    const EditorPieces::Region& r = regions_[static_cast<size_t>(row)];
    const int from = std::max(0, static_cast<int>(axis_.xOf(r.begin)));
    const int to = std::min(width(), static_cast<int>(axis_.xOf(r.end)));
    renameRow_ = row;
    rename_->setGeometry(from, RulerHeight - 2, std::max(160, to - from), TitleHeight + 6);
    rename_->setText(r.title);
    rename_->selectAll();
    rename_->show();
    rename_->setFocus();
}

bool WaveformCanvas::eventFilter(QObject* watched, QEvent* event) {
    if (watched == rename_ && event->type() == QEvent::KeyPress &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape) {
        renameRow_ = -1;
        rename_->hide();
        setFocus();
        return true;
    }
    return QWidget::eventFilter(watched, event);
}

void WaveformCanvas::wheelEvent(QWheelEvent* event) {
    const QPoint delta = event->angleDelta();
    if (event->modifiers().testFlag(Qt::ControlModifier)) {
        axis_.zoomBy(std::pow(1.25, delta.y() / 120.0), event->position().x());
    } else {
        // Vertical turns scroll along time too; a tilt wheel scrolls as it turns.
        const int steps = delta.x() != 0 ? delta.x() : delta.y();
        axis_.scrollBy(-steps / 120.0 * width() / 8.0);
    }
    axisChanged();
    event->accept();
}
