#pragma once

#include "app/skin/SkinObject.h"

#include <QByteArray>
#include <QHash>
#include <QPixmap>
#include <QPointF>
#include <QRectF>
#include <QSize>
#include <QString>

#include <map>
#include <memory>
#include <vector>

class QPainter;
class QSvgRenderer;

// One form of a skin: a group of the SVG skin document with its named
// objects. The form is drawn in three layers: a background (everything that
// never changes, with the frames of the window's own widgets), each object's
// art, and the live parts (hover and pressed looks, slider thumb and fill,
// texts, revealed bars).
//
// What an element is follows from its `class`: "button", "slider", "text",
// "bar" or "control"; any other element with an id is a named decoration.
// Inside a button, children of class "hover" and "pressed" are its looks
// under the mouse and while held (hide them in the file with
// display="none" so the document shows the normal look). Inside a slider,
// "track" is the travel, "thumb" the knob and "fill" the part drawn up to
// the thumb (it may be hidden in the file too). A text's first <text> element gives font, colour,
// anchor and baseline; its child of class "box", if any, is its rectangle. A <title> child is the
// object's tooltip. A <metadata id="widget-style"> element holds the style sheet for the window's
// own widgets.
class SkinForm {
public:
    // Throws `Error` when the document cannot be read or lacks the form.
    SkinForm(const QByteArray& svg, const QString& formName);
    ~SkinForm();

    QString name() const { return name_; }
    QSize size() const { return size_; }
    QString styleSheet() const { return styleSheet_; }

    // Never null: a name the form lacks gets a detached object.
    SkinObject* FindObject(const QString& name);
    bool hasObject(const QString& name) const;
    // The form's objects, in document order (later ones lie on top).
    const std::vector<SkinObject*>& objects() const { return order_; }
    // The topmost object that takes the mouse at `point`, or null.
    SkinObject* objectAt(QPointF point) const;

    // Draws the area of the form, with `hovered` and `pressed` in their looks.
    void paint(QPainter& painter, const QRect& area, const SkinObject* hovered,
               const SkinObject* pressed, qreal devicePixelRatio);

private:
    void drawArt(QPainter& painter, QSvgRenderer& renderer, const QString& id, QPointF offset,
                 qreal dpr);
    QRectF boundsOf(QSvgRenderer& renderer, const QString& id) const;
    void drawText(QPainter& painter, const SkinObject& object) const;

    QString name_;
    QSize size_;
    QPointF origin_;
    QString styleSheet_;
    // All of the document, with every live part reachable by id.
    std::unique_ptr<QSvgRenderer> full_;
    // The objects without their live parts.
    std::unique_ptr<QSvgRenderer> plain_;
    // The form without its objects, except the widget frames.
    std::unique_ptr<QSvgRenderer> background_;
    QPixmap backgroundPixmap_;
    QHash<QString, QPixmap> artCache_;
    QHash<QString, QRectF> boundsCache_;
    std::vector<std::unique_ptr<SkinObject>> objects_;
    std::vector<SkinObject*> order_;
    std::map<QString, SkinObject*> byName_;
    std::map<QString, std::unique_ptr<SkinObject>> detached_;
};
