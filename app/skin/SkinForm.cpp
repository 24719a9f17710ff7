#include "app/skin/SkinForm.h"

#include "platform/Error.h"

#include <QDomDocument>
#include <QDomElement>
#include <QFontMetricsF>
#include <QPainter>
#include <QRegularExpression>
#include <QSvgRenderer>

#include <cmath>
#include <set>

namespace {

bool hasClass(const QDomElement& element, const QString& name) {
    return element.attribute(QStringLiteral("class"))
        .split(QLatin1Char(' '), Qt::SkipEmptyParts)
        .contains(name);
}

SkinObject::Kind kindOf(const QDomElement& element) {
    static const std::pair<const char*, SkinObject::Kind> kinds[] = {
        {"button", SkinObject::Kind::Button},   {"slider", SkinObject::Kind::Slider},
        {"text", SkinObject::Kind::Text},       {"bar", SkinObject::Kind::Bar},
        {"control", SkinObject::Kind::Control},
    };
    for (const auto& [name, kind] : kinds)
        if (hasClass(element, QLatin1String(name)))
            return kind;
    return SkinObject::Kind::Element;
}

// Every element below `root`, in document order.
void collect(const QDomElement& root, std::vector<QDomElement>& out) {
    for (QDomElement child = root.firstChildElement(); !child.isNull();
         child = child.nextSiblingElement()) {
        out.push_back(child);
        collect(child, out);
    }
}

std::vector<QDomElement> descendants(const QDomElement& root) {
    std::vector<QDomElement> out;
    collect(root, out);
    return out;
}

QDomElement findById(const QDomDocument& doc, const QString& id) {
    for (const QDomElement& e : descendants(doc.documentElement()))
        if (e.attribute(QStringLiteral("id")) == id)
            return e;
    return {};
}

QDomElement firstDescendant(const QDomElement& root, auto&& predicate) {
    for (const QDomElement& e : descendants(root))
        if (predicate(e))
            return e;
    return {};
}

// A property as the element sees it: its own style, its own attribute, then
// the same on its ancestors.
QString property(const QDomElement& element, const QString& name) {
    for (QDomNode node = element; node.isElement(); node = node.parentNode()) {
        const QDomElement e = node.toElement();
        const QStringList declarations =
            e.attribute(QStringLiteral("style")).split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (const QString& declaration : declarations) {
            const qsizetype colon = declaration.indexOf(QLatin1Char(':'));
            if (colon > 0 && declaration.left(colon).trimmed() == name)
                return declaration.mid(colon + 1).trimmed();
        }
        if (e.hasAttribute(name))
            return e.attribute(name).trimmed();
    }
    return {};
}

double leadingNumber(const QString& text, double fallback) {
    static const QRegularExpression number(QStringLiteral("^\\s*([-+]?(\\d+\\.?\\d*|\\.\\d+))"));
    const QRegularExpressionMatch match = number.match(text);
    return match.hasMatch() ? match.captured(1).toDouble() : fallback;
}

// Makes a look hidden in the file (so the file shows the normal look)
// drawable by id.
void reveal(QDomElement element) {
    element.removeAttribute(QStringLiteral("display"));
    element.removeAttribute(QStringLiteral("visibility"));
    QStringList kept;
    for (const QString& d :
         element.attribute(QStringLiteral("style")).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const QString name = d.section(QLatin1Char(':'), 0, 0).trimmed();
        if (name != QLatin1String("display") && name != QLatin1String("visibility"))
            kept << d;
    }
    if (kept.isEmpty())
        element.removeAttribute(QStringLiteral("style"));
    else
        element.setAttribute(QStringLiteral("style"), kept.join(QLatin1Char(';')));
}

void removeIds(QDomDocument& doc, const std::set<QString>& ids) {
    for (QDomElement e : descendants(doc.documentElement()))
        if (ids.count(e.attribute(QStringLiteral("id"))))
            e.parentNode().removeChild(e);
}

// Titles, descriptions and metadata are data for this class, not drawing.
void removeNonDrawing(QDomDocument& doc) {
    for (QDomElement e : descendants(doc.documentElement())) {
        const QString tag = e.tagName();
        if (tag == QLatin1String("title") || tag == QLatin1String("desc") ||
            tag == QLatin1String("metadata"))
            e.parentNode().removeChild(e);
    }
}

std::unique_ptr<QSvgRenderer> renderer(const QDomDocument& doc) {
    auto r = std::make_unique<QSvgRenderer>(doc.toByteArray());
    if (!r->isValid())
        throw Error(QStringLiteral("The skin file is not a valid SVG document."));
    return r;
}

QString ensureId(QDomElement element, const QString& generated) {
    if (!element.hasAttribute(QStringLiteral("id")))
        element.setAttribute(QStringLiteral("id"), generated);
    return element.attribute(QStringLiteral("id"));
}

SkinObject::TextStyle textStyleOf(const QDomElement& text) {
    SkinObject::TextStyle style;
    QStringList families;
    for (QString family : property(text, QStringLiteral("font-family")).split(QLatin1Char(','))) {
        family = family.trimmed().remove(QLatin1Char('\'')).remove(QLatin1Char('"'));
        if (family == QLatin1String("monospace"))
            style.font.setStyleHint(QFont::Monospace);
        else if (family == QLatin1String("sans-serif"))
            style.font.setStyleHint(QFont::SansSerif);
        else if (!family.isEmpty())
            families << family;
    }
    if (!families.isEmpty())
        style.font.setFamilies(families);
    style.font.setPixelSize(std::max(1, static_cast<int>(std::lround(leadingNumber(
                                            property(text, QStringLiteral("font-size")), 12)))));
    const QString weight = property(text, QStringLiteral("font-weight"));
    if (weight == QLatin1String("bold") || weight == QLatin1String("bolder"))
        style.font.setWeight(QFont::Bold);
    else if (const double w = leadingNumber(weight, 0); w >= 100 && w <= 900)
        style.font.setWeight(static_cast<QFont::Weight>(static_cast<int>(w)));
    if (property(text, QStringLiteral("font-style")) == QLatin1String("italic"))
        style.font.setItalic(true);
    const QString spacing = property(text, QStringLiteral("letter-spacing"));
    if (!spacing.isEmpty())
        style.font.setLetterSpacing(QFont::AbsoluteSpacing, leadingNumber(spacing, 0));

    const QString fill = property(text, QStringLiteral("fill"));
    style.color = fill.isEmpty()                  ? QColor(Qt::black)
                  : fill == QLatin1String("none") ? QColor(Qt::transparent)
                                                  : QColor(fill);
    if (!style.color.isValid())
        style.color = Qt::black;
    const double opacity = leadingNumber(text.attribute(QStringLiteral("fill-opacity")), 1) *
                           leadingNumber(text.attribute(QStringLiteral("opacity")), 1);
    style.color.setAlphaF(static_cast<float>(style.color.alphaF() * std::clamp(opacity, 0.0, 1.0)));

    const QString anchor = property(text, QStringLiteral("text-anchor"));
    style.anchor = anchor == QLatin1String("middle") ? Qt::AlignHCenter
                   : anchor == QLatin1String("end")  ? Qt::AlignRight
                                                     : Qt::AlignLeft;
    return style;
}

// A rectangle's own geometry, without the half stroke the renderer adds:
// the places of widgets and text boxes are meant to the pixel.
QRectF rectGeometry(const QDomElement& element) {
    auto number = [&](const char* name) {
        return leadingNumber(element.attribute(QLatin1String(name)), 0);
    };
    return QRectF(number("x"), number("y"), number("width"), number("height"));
}

struct Parsed {
    QDomElement element;
    QString name;
    SkinObject::Kind kind;
    SkinObject::Art art;
    QString trackId;
    QString textId;
    QString boxId;
    QString initialText;
    QString toolTip;
    QDomElement textElement;
};

} // namespace

SkinForm::SkinForm(const QByteArray& svg, const QString& formName) : name_(formName) {
    QDomDocument doc;
    QString message;
    int line = 0;
    if (!doc.setContent(svg, false, &message, &line))
        throw Error(
            QStringLiteral("The skin file cannot be read (line %1: %2).").arg(line).arg(message));
    const QDomElement form = findById(doc, formName);
    if (form.isNull())
        throw Error(QStringLiteral("The skin file has no form \"%1\".").arg(formName));

    for (const QDomElement& e : descendants(doc.documentElement()))
        if (e.tagName() == QLatin1String("metadata") &&
            e.attribute(QStringLiteral("id")) == QLatin1String("widget-style"))
            styleSheet_ = e.text();

    std::vector<Parsed> parsed;
    std::set<QString> liveParts; // drawn on their own, not as part of the object
    std::set<QString> objectIds; // drawn on their own, not in the background
    for (const QDomElement& e : descendants(form)) {
        const QString id = e.attribute(QStringLiteral("id"));
        if (id.isEmpty() || e.tagName() == QLatin1String("title"))
            continue;
        Parsed p;
        p.element = e;
        p.name = id;
        p.kind = kindOf(e);
        for (QDomElement c = e.firstChildElement(QStringLiteral("title")); !c.isNull();
             c = c.nextSiblingElement(QStringLiteral("title"))) {
            p.toolTip = c.text().trimmed();
            break;
        }
        auto part = [&](const char* cls) {
            return firstDescendant(
                e, [&](const QDomElement& d) { return hasClass(d, QLatin1String(cls)); });
        };
        switch (p.kind) {
        case SkinObject::Kind::Button:
            if (QDomElement hover = part("hover"); !hover.isNull()) {
                p.art.hoverId = ensureId(hover, id + QStringLiteral("--hover"));
                reveal(hover);
                liveParts.insert(p.art.hoverId);
            }
            if (QDomElement pressed = part("pressed"); !pressed.isNull()) {
                p.art.pressedId = ensureId(pressed, id + QStringLiteral("--pressed"));
                reveal(pressed);
                liveParts.insert(p.art.pressedId);
            }
            break;
        case SkinObject::Kind::Slider:
            if (QDomElement track = part("track"); !track.isNull())
                p.trackId = ensureId(track, id + QStringLiteral("--track"));
            if (QDomElement thumb = part("thumb"); !thumb.isNull()) {
                p.art.thumbId = ensureId(thumb, id + QStringLiteral("--thumb"));
                liveParts.insert(p.art.thumbId);
            }
            if (QDomElement fill = part("fill"); !fill.isNull()) {
                p.art.fillId = ensureId(fill, id + QStringLiteral("--fill"));
                reveal(fill);
                liveParts.insert(p.art.fillId);
            }
            break;
        case SkinObject::Kind::Text: {
            p.textElement = e.tagName() == QLatin1String("text")
                                ? e
                                : firstDescendant(e, [](const QDomElement& d) {
                                      return d.tagName() == QLatin1String("text");
                                  });
            if (!p.textElement.isNull()) {
                p.textId = ensureId(p.textElement, id + QStringLiteral("--text"));
                p.initialText = p.textElement.text().trimmed();
                liveParts.insert(p.textId);
            }
            if (QDomElement box = part("box"); !box.isNull())
                p.boxId = ensureId(box, id + QStringLiteral("--box"));
            break;
        }
        default:
            break;
        }
        if (p.kind != SkinObject::Kind::Control && p.kind != SkinObject::Kind::Element)
            objectIds.insert(id);
        parsed.push_back(std::move(p));
    }

    // The form's area is its "frame" rectangle, or all it draws.
    const QDomElement frame = firstDescendant(form, [](const QDomElement& d) {
        return hasClass(d, QStringLiteral("frame")) && d.tagName() == QLatin1String("rect");
    });
    const QString frameId =
        frame.isNull() ? QString() : ensureId(frame, formName + QStringLiteral("--frame"));

    removeNonDrawing(doc);
    full_ = renderer(doc);
    QDomDocument plain = doc.cloneNode(true).toDocument();
    removeIds(plain, liveParts);
    plain_ = renderer(plain);
    QDomDocument background = doc.cloneNode(true).toDocument();
    removeIds(background, objectIds);
    background_ = renderer(background);

    QRectF formBounds;
    if (!frameId.isEmpty())
        formBounds = full_->transformForElement(frameId).mapRect(rectGeometry(frame));
    if (formBounds.isEmpty())
        formBounds = boundsOf(*full_, formName);
    origin_ = QPointF(std::round(formBounds.left()), std::round(formBounds.top()));
    size_ = QSize(static_cast<int>(std::lround(formBounds.width())),
                  static_cast<int>(std::lround(formBounds.height())));
    boundsCache_.clear();

    for (Parsed& p : parsed) {
        QRectF design;
        if (p.kind == SkinObject::Kind::Text)
            design = boundsOf(*full_, !p.boxId.isEmpty()    ? p.boxId
                                      : !p.textId.isEmpty() ? p.textId
                                                            : p.name);
        else
            design = boundsOf(*full_, p.name);
        const bool exact = p.kind == SkinObject::Kind::Control || p.kind == SkinObject::Kind::Bar ||
                           (p.kind == SkinObject::Kind::Text && !p.boxId.isEmpty());
        if (exact) {
            const QString id = p.kind == SkinObject::Kind::Text ? p.boxId : p.name;
            const QDomElement e =
                p.kind == SkinObject::Kind::Text ? findById(doc, p.boxId) : p.element;
            if (e.tagName() == QLatin1String("rect"))
                design =
                    full_->transformForElement(id).mapRect(rectGeometry(e)).translated(-origin_);
        }
        auto object = std::make_unique<SkinObject>(p.name, p.kind, design);
        object->setToolTip(p.toolTip);
        if (p.kind == SkinObject::Kind::Slider) {
            p.art.track = p.trackId.isEmpty() ? design : boundsOf(*full_, p.trackId);
            p.art.thumb = p.art.thumbId.isEmpty() ? QRectF(p.art.track.left(), p.art.track.top(), 0,
                                                           p.art.track.height())
                                                  : boundsOf(*full_, p.art.thumbId);
        }
        object->setArt(p.art);
        if (!p.textElement.isNull()) {
            SkinObject::TextStyle style = textStyleOf(p.textElement);
            const QPointF anchor(leadingNumber(p.textElement.attribute(QStringLiteral("x")), 0),
                                 leadingNumber(p.textElement.attribute(QStringLiteral("y")), 0));
            style.baseline = full_->transformForElement(p.textId).map(anchor) - origin_;
            object->setTextStyle(style);
            object->SetText(p.initialText);
        }
        byName_.emplace(p.name, object.get());
        order_.push_back(object.get());
        objects_.push_back(std::move(object));
    }
}

SkinForm::~SkinForm() = default;

SkinObject* SkinForm::FindObject(const QString& name) {
    if (auto it = byName_.find(name); it != byName_.end())
        return it->second;
    auto& detached = detached_[name];
    if (!detached)
        detached = std::make_unique<SkinObject>(name, SkinObject::Kind::Detached, QRectF());
    return detached.get();
}

bool SkinForm::hasObject(const QString& name) const {
    return byName_.count(name) > 0;
}

SkinObject* SkinForm::objectAt(QPointF point) const {
    for (auto it = order_.rbegin(); it != order_.rend(); ++it) {
        SkinObject* o = *it;
        const auto kind = o->kind();
        if (kind == SkinObject::Kind::Control || kind == SkinObject::Kind::Element)
            continue;
        if (o->contains(point))
            return o;
    }
    return nullptr;
}

QRectF SkinForm::boundsOf(QSvgRenderer& renderer, const QString& id) const {
    if (!renderer.elementExists(id))
        return {};
    return renderer.transformForElement(id)
        .mapRect(renderer.boundsOnElement(id))
        .translated(-origin_);
}

void SkinForm::drawArt(QPainter& painter, QSvgRenderer& renderer, const QString& id, QPointF offset,
                       qreal dpr) {
    const QString key =
        QStringLiteral("%1/%2/%3").arg(reinterpret_cast<quintptr>(&renderer)).arg(id).arg(dpr);
    auto cached = artCache_.find(key);
    if (cached == artCache_.end()) {
        QPixmap pixmap;
        const QRectF bounds = boundsOf(renderer, id);
        if (!bounds.isEmpty()) {
            const QRect aligned = bounds.toAlignedRect();
            pixmap = QPixmap(aligned.size() * dpr);
            pixmap.setDevicePixelRatio(dpr);
            pixmap.fill(Qt::transparent);
            QPainter p(&pixmap);
            renderer.render(&p, id, bounds.translated(-aligned.topLeft()));
            boundsCache_.insert(key, QRectF(aligned));
        }
        cached = artCache_.insert(key, pixmap);
    }
    if (cached->isNull())
        return;
    const QRectF at = boundsCache_.value(key);
    painter.drawPixmap(at.topLeft() + offset, *cached);
}

void SkinForm::drawText(QPainter& painter, const SkinObject& object) const {
    const QString text = object.text();
    if (text.isEmpty())
        return;
    const SkinObject::TextStyle& style = object.textStyle();
    const QPointF offset =
        QPointF(object.currentRect().topLeft() - object.designRect().toAlignedRect().topLeft());
    const QFontMetricsF metrics(style.font);
    const double width = metrics.horizontalAdvance(text);
    QPointF at = style.baseline + offset;
    if (style.anchor & Qt::AlignHCenter)
        at.rx() -= width / 2;
    else if (style.anchor & Qt::AlignRight)
        at.rx() -= width;
    painter.setFont(style.font);
    painter.setPen(style.color);
    painter.drawText(at, text);
}

void SkinForm::paint(QPainter& painter, const QRect& area, const SkinObject* hovered,
                     const SkinObject* pressed, qreal dpr) {
    if (backgroundPixmap_.isNull() || backgroundPixmap_.devicePixelRatio() != dpr) {
        backgroundPixmap_ = QPixmap(size_ * dpr);
        backgroundPixmap_.setDevicePixelRatio(dpr);
        backgroundPixmap_.fill(Qt::transparent);
        QPainter p(&backgroundPixmap_);
        background_->setViewBox(QRectF(origin_, QSizeF(size_)));
        background_->render(&p, QRectF(QPointF(0, 0), QSizeF(size_)));
    }
    painter.drawPixmap(0, 0, backgroundPixmap_);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    for (SkinObject* object : order_) {
        const QPointF offset = QPointF(object->currentRect().topLeft() -
                                       object->designRect().toAlignedRect().topLeft());
        const SkinObject::Art& art = object->art();
        switch (object->kind()) {
        case SkinObject::Kind::Button: {
            if (!area.intersects(object->currentRect()))
                break;
            drawArt(painter, *plain_, object->GetName(), offset, dpr);
            if (object == pressed && !art.pressedId.isEmpty())
                drawArt(painter, *full_, art.pressedId, offset, dpr);
            else if ((object == hovered || object == pressed) && !art.hoverId.isEmpty())
                drawArt(painter, *full_, art.hoverId, offset, dpr);
            break;
        }
        case SkinObject::Kind::Slider: {
            if (!area.intersects(object->currentRect()))
                break;
            drawArt(painter, *plain_, object->GetName(), offset, dpr);
            const double thumbLeft = object->thumbLeft();
            if (!art.fillId.isEmpty()) {
                painter.save();
                const double fillRight = thumbLeft + art.thumb.width() / 2;
                painter.setClipRect(
                    QRectF(art.track.left() + offset.x(), art.track.top() + offset.y() - 50,
                           fillRight - art.track.left() - offset.x(), art.track.height() + 100),
                    Qt::IntersectClip);
                drawArt(painter, *full_, art.fillId, offset, dpr);
                painter.restore();
            }
            if (!art.thumbId.isEmpty())
                drawArt(painter, *full_, art.thumbId,
                        QPointF(std::round(thumbLeft - art.thumb.left()), offset.y()), dpr);
            break;
        }
        case SkinObject::Kind::Text:
            if (plain_->elementExists(object->GetName()))
                drawArt(painter, *plain_, object->GetName(), offset, dpr);
            drawText(painter, *object);
            break;
        case SkinObject::Kind::Bar: {
            const QRect clip = object->currentRect();
            if (clip.isEmpty() || !area.intersects(clip))
                break;
            painter.save();
            painter.setClipRect(clip, Qt::IntersectClip);
            drawArt(painter, *full_, object->GetName(), offset, dpr);
            painter.restore();
            break;
        }
        default:
            break;
        }
    }
}
