#include "app/skin/SkinObject.h"

#include <QFontMetricsF>

#include <algorithm>
#include <cmath>

namespace {
SkinRect toSkinRect(const QRectF& r) {
    return SkinRect{static_cast<int>(std::floor(r.left())), static_cast<int>(std::floor(r.top())),
                    static_cast<int>(std::ceil(r.right())),
                    static_cast<int>(std::ceil(r.bottom()))};
}
} // namespace

SkinObject::SkinObject(QString name, Kind kind, QRectF designRect)
    : name_(std::move(name)), kind_(kind), designRect_(designRect), rect_(toSkinRect(designRect)) {
    painted_ = currentRect();
}

void SkinObject::SetMax(int max) {
    max_ = max;
    clampPosition();
    changed();
}

void SkinObject::SetThumbSize(int size) {
    thumbSize_ = size;
    clampPosition();
    changed();
}

void SkinObject::SetPosition(int position) {
    position_ = position;
    clampPosition();
    changed();
}

// As a scroll bar does: positions stay within 0 .. maximum - thumb size.
void SkinObject::clampPosition() {
    position_ = std::clamp(position_, 0, usableRange());
}

int SkinObject::usableRange() const {
    return std::max(0, max_ - thumbSize_);
}

void SkinObject::SetText(const QString& text) {
    if (text_ == text)
        return;
    text_ = text;
    changed();
}

void SkinObject::SetRect(const SkinRect& rect) {
    if (rect_ == rect)
        return;
    rect_ = rect;
    changed();
}

void SkinObject::Refresh() {
    changed();
}

QRect SkinObject::currentRect() const {
    return QRect(QPoint(rect_.left, rect_.top), QPoint(rect_.right - 1, rect_.bottom - 1));
}

bool SkinObject::contains(QPointF point) const {
    return point.x() >= rect_.left && point.x() < rect_.right && point.y() >= rect_.top &&
           point.y() < rect_.bottom;
}

double SkinObject::thumbLeft() const {
    const double travel = art_.track.width() - art_.thumb.width();
    const int usable = usableRange();
    const double offset = currentRect().left() - designRect_.toAlignedRect().left();
    if (usable <= 0 || travel <= 0)
        return art_.track.left() + offset;
    return art_.track.left() + offset + travel * position_ / usable;
}

int SkinObject::positionAtThumbLeft(double x) const {
    const double travel = art_.track.width() - art_.thumb.width();
    const int usable = usableRange();
    if (usable <= 0 || travel <= 0)
        return 0;
    const double offset = currentRect().left() - designRect_.toAlignedRect().left();
    const double fraction = (x - art_.track.left() - offset) / travel;
    return std::clamp(static_cast<int>(std::lround(fraction * usable)), 0, usable);
}

void SkinObject::changed() {
    if (isDetached() || !repaint_)
        return;
    QRect area = currentRect();
    if (kind_ == Kind::Text && !text_.isEmpty()) {
        // A text longer than its box spills over it; redraw all of it.
        const QFontMetricsF metrics(textStyle_.font);
        const double width = metrics.horizontalAdvance(text_);
        const QPointF offset =
            QPointF(currentRect().topLeft()) - designRect_.toAlignedRect().topLeft();
        double left = textStyle_.baseline.x() + offset.x();
        if (textStyle_.anchor & Qt::AlignHCenter)
            left -= width / 2;
        else if (textStyle_.anchor & Qt::AlignRight)
            left -= width;
        const QRectF textRect(left, textStyle_.baseline.y() + offset.y() - metrics.ascent(), width,
                              metrics.height());
        area |= textRect.toAlignedRect().adjusted(-2, -2, 2, 2);
    }
    if (kind_ == Kind::Slider || kind_ == Kind::Button)
        area |= designRect_.toAlignedRect();
    repaint_(area | painted_);
    painted_ = area;
}
