#pragma once

#include "app/skin/ISkinElement.h"
#include "app/skin/ISkinObject.h"
#include "app/skin/ISkinScrollBar.h"
#include "app/skin/ISkinText.h"

#include <QColor>
#include <QFont>
#include <QPointF>
#include <QRect>
#include <QRectF>
#include <QString>

#include <functional>

// One named object of a skin form. Every object answers all four interfaces,
// so a caller may drive a text as an element or a slider as a text without
// checking; what is drawn depends on the object's kind.
//
// A detached object stands for a name the skin lacks: it keeps what it is
// given (position, text, rectangle) and draws nothing, so the program runs
// on with an incomplete skin.
class SkinObject : public ISkinObject,
                   public ISkinScrollBar,
                   public ISkinText,
                   public ISkinElement {
public:
    enum class Kind {
        Detached, // not in the skin
        Element,  // decoration with a name: part of the background
        Button,   // clickable, with optional hover and pressed looks
        Slider,   // track, draggable thumb, optional fill up to the thumb
        Text,     // a line of text the program sets
        Bar,      // art revealed up to its current rectangle (progress bars)
        Control,  // where one of the window's own widgets sits
    };

    // How a text object draws its text: the style of its template <text>
    // element and the template's anchor point in window coordinates.
    struct TextStyle {
        QFont font;
        QColor color = Qt::black;
        Qt::Alignment anchor = Qt::AlignLeft; // start, middle or end
        QPointF baseline;
    };

    // The ids to render for the parts of the object, empty when absent.
    struct Art {
        QString hoverId;
        QString pressedId;
        QString thumbId;
        QString fillId;
        QRectF track; // slider travel, window coordinates
        QRectF thumb; // thumb as designed, window coordinates
    };

    SkinObject(QString name, Kind kind, QRectF designRect);

    QString GetName() const override { return name_; }

    int GetMax() const override { return max_; }
    void SetMax(int max) override;
    int GetThumbSize() const override { return thumbSize_; }
    void SetThumbSize(int size) override;
    int GetPosition() const override { return position_; }
    void SetPosition(int position) override;

    void SetText(const QString& text) override;

    SkinRect GetRect() const override { return rect_; }
    void SetRect(const SkinRect& rect) override;
    void Refresh() override;

    Kind kind() const { return kind_; }
    bool isDetached() const { return kind_ == Kind::Detached; }
    QString text() const { return text_; }
    QString toolTip() const { return toolTip_; }
    void setToolTip(const QString& tip) { toolTip_ = tip; }
    // The rectangle as the skin file places it.
    QRectF designRect() const { return designRect_; }
    // The current rectangle as window pixels.
    QRect currentRect() const;
    // Where the object takes clicks: its current rectangle.
    bool contains(QPointF point) const;

    const TextStyle& textStyle() const { return textStyle_; }
    void setTextStyle(const TextStyle& style) { textStyle_ = style; }
    const Art& art() const { return art_; }
    void setArt(const Art& art) { art_ = art; }

    // The largest position: maximum minus thumb size, never below 0.
    int usableRange() const;
    // The thumb's left edge in window pixels for the current position.
    double thumbLeft() const;
    // The position whose thumb's left edge is at x.
    int positionAtThumbLeft(double x) const;

    // Called with the area to redraw whenever the object changes.
    void setRepaint(std::function<void(const QRect&)> repaint) { repaint_ = std::move(repaint); }

private:
    void clampPosition();
    void changed();

    QString name_;
    Kind kind_;
    QRectF designRect_;
    SkinRect rect_;
    QString toolTip_;
    int max_ = 100;
    int thumbSize_ = 0;
    int position_ = 0;
    QString text_;
    TextStyle textStyle_;
    Art art_;
    QRect painted_;
    std::function<void(const QRect&)> repaint_;
};
