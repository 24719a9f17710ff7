#include "app/skin/Skin.h"

#include "platform/Error.h"

#include <QFile>
#include <QFileInfo>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>

Skin::Skin(QWidget* parent) : QWidget(parent) {
    setObjectName(QStringLiteral("Skin1"));
    setMouseTracking(true);
    setAttribute(Qt::WA_OpaquePaintEvent);
}

Skin::~Skin() = default;

void Skin::LoadSkin(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw Error(QStringLiteral("The skin file %1 cannot be opened: %2")
                        .arg(QFileInfo(path).fileName(), file.errorString()));
    svg_ = file.readAll();
    path_ = path;
}

void Skin::ApplySkin(QWidget* window) {
    if (!window)
        throw Error(QStringLiteral("The skin has no window to draw."));
    if (svg_.isEmpty())
        throw Error(QStringLiteral("No skin file is loaded."));
    window_ = window;
    if (parentWidget() != window)
        setParent(window);
    setGeometry(window->rect());
    lower();
    show();
}

void Skin::ApplyForm(QWidget* window, const QString& formName) {
    if (!window || window != window_)
        throw Error(QStringLiteral("The skin is not applied to this window."));
    auto form = std::make_unique<SkinForm>(svg_, formName);
    for (SkinObject* object : form->objects()) {
        object->setRepaint([this](const QRect& area) { update(area); });
        if (object->kind() == SkinObject::Kind::Control) {
            if (auto* widget = window->findChild<QWidget*>(object->GetName()))
                widget->setGeometry(object->currentRect());
        }
    }
    if (!form->styleSheet().isEmpty())
        window->setStyleSheet(form->styleSheet());
    if (form_)
        retired_.push_back(std::move(form_));
    form_ = std::move(form);
    hovered_ = nullptr;
    pressed_ = nullptr;
    dragging_ = false;
    update();
}

SkinForm* Skin::GetForm(QWidget* window) const {
    if (!form_ || window != window_)
        throw Error(QStringLiteral("No skin form is applied to this window."));
    return form_.get();
}

SkinObject* Skin::FindObject(const QString& name) {
    if (form_)
        return form_->FindObject(name);
    auto& detached = detached_[name];
    if (!detached)
        detached = std::make_unique<SkinObject>(name, SkinObject::Kind::Detached, QRectF());
    return detached.get();
}

SkinObject* Skin::objectAt(QPointF point) const {
    return form_ ? form_->objectAt(point) : nullptr;
}

void Skin::paintEvent(QPaintEvent* event) {
    QPainter painter(this);
    if (!form_) {
        painter.fillRect(rect(), palette().window());
        return;
    }
    painter.setClipRegion(event->region());
    form_->paint(painter, event->rect(), hovered_, pressed_, devicePixelRatioF());
}

void Skin::setHovered(SkinObject* object) {
    if (object == hovered_)
        return;
    if (hovered_)
        update(hovered_->currentRect());
    hovered_ = object;
    if (hovered_)
        update(hovered_->currentRect());
    const bool clickable = object && (object->kind() == SkinObject::Kind::Button ||
                                      object->kind() == SkinObject::Kind::Slider);
    setCursor(clickable ? Qt::PointingHandCursor : Qt::ArrowCursor);
}

void Skin::dragTo(double x) {
    const int before = pressed_->GetPosition();
    pressed_->SetPosition(pressed_->positionAtThumbLeft(x - grab_));
    if (pressed_->GetPosition() != before)
        emit OnScrollTrack(pressed_, pressed_->GetPosition());
}

void Skin::mousePressEvent(QMouseEvent* event) {
    SkinObject* object = objectAt(event->position());
    if (!object) {
        QWidget::mousePressEvent(event);
        return;
    }
    pressed_ = object;
    update(object->currentRect());
    const QPoint at = event->position().toPoint();
    emit OnMouseDown(object, event->button(), at.x(), at.y());
    if (pressed_ == object && object->kind() == SkinObject::Kind::Slider &&
        event->button() == Qt::LeftButton) {
        // Held on the thumb it keeps its grip; elsewhere on the track the
        // thumb jumps under the pointer.
        const double left = object->thumbLeft();
        const double width = object->art().thumb.width();
        const double x = event->position().x();
        const bool onThumb = x >= left && x < left + width;
        grab_ = onThumb ? x - left : width / 2;
        dragging_ = true;
        if (!onThumb)
            dragTo(x);
    }
}

void Skin::mouseMoveEvent(QMouseEvent* event) {
    if (dragging_ && pressed_) {
        dragTo(event->position().x());
        return;
    }
    if (!(event->buttons() & Qt::LeftButton))
        setHovered(objectAt(event->position()));
}

void Skin::mouseReleaseEvent(QMouseEvent* event) {
    SkinObject* object = pressed_;
    if (!object) {
        QWidget::mouseReleaseEvent(event);
        return;
    }
    if (dragging_)
        dragTo(event->position().x());
    pressed_ = nullptr;
    dragging_ = false;
    update(object->currentRect());
    const QPoint at = event->position().toPoint();
    const bool inside = objectAt(event->position()) == object;
    setHovered(objectAt(event->position()));
    emit OnMouseUp(object, event->button(), at.x(), at.y());
    if (inside && event->button() == Qt::LeftButton)
        emit OnClick(object);
}

void Skin::leaveEvent(QEvent* event) {
    if (!pressed_)
        setHovered(nullptr);
    QWidget::leaveEvent(event);
}

bool Skin::event(QEvent* event) {
    if (event->type() == QEvent::ToolTip) {
        auto* help = static_cast<QHelpEvent*>(event);
        SkinObject* object = objectAt(help->pos());
        if (object && !object->toolTip().isEmpty())
            QToolTip::showText(help->globalPos(), object->toolTip(), this, object->currentRect());
        else
            QToolTip::hideText();
        return true;
    }
    return QWidget::event(event);
}
