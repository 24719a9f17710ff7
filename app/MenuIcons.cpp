#include "app/MenuIcons.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

#include <utility>

namespace {

// Draws a glyph on a 16 x 16 grid.
void draw(QPainter& p, MenuIcons::Glyph glyph, const QColor& color) {
    QPen pen(color, 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    p.setPen(pen);
    p.setBrush(Qt::NoBrush);
    const auto plus = [&](QPointF c) {
        p.drawLine(QPointF(c.x() - 2.5, c.y()), QPointF(c.x() + 2.5, c.y()));
        p.drawLine(QPointF(c.x(), c.y() - 2.5), QPointF(c.x(), c.y() + 2.5));
    };
    switch (glyph) {
    case MenuIcons::Glyph::AddFile: {
        QPainterPath page;
        page.moveTo(3, 1.5);
        page.lineTo(9.5, 1.5);
        page.lineTo(13, 5);
        page.lineTo(13, 14.5);
        page.lineTo(3, 14.5);
        page.closeSubpath();
        p.drawPath(page);
        p.drawPolyline(QPolygonF({{9.5, 1.5}, {9.5, 5}, {13, 5}}));
        plus({8, 9.5});
        break;
    }
    case MenuIcons::Glyph::AddFolder: {
        QPainterPath folder;
        folder.moveTo(1.5, 3);
        folder.lineTo(6, 3);
        folder.lineTo(7.5, 4.5);
        folder.lineTo(14.5, 4.5);
        folder.lineTo(14.5, 13.5);
        folder.lineTo(1.5, 13.5);
        folder.closeSubpath();
        p.drawPath(folder);
        plus({8, 9});
        break;
    }
    case MenuIcons::Glyph::Clear:
        // Everything crossed out.
        p.drawEllipse(QPointF(8, 8), 6, 6);
        p.drawLine(QPointF(3.8, 12.2), QPointF(12.2, 3.8));
        break;
    case MenuIcons::Glyph::Remove:
        p.drawLine(QPointF(2.5, 4), QPointF(13.5, 4));
        p.drawPolyline(QPolygonF({{6, 4}, {6, 2}, {10, 2}, {10, 4}}));
        p.drawPolyline(QPolygonF({{4, 4}, {5, 14.5}, {11, 14.5}, {12, 4}}));
        p.drawLine(QPointF(7, 7), QPointF(7, 12));
        p.drawLine(QPointF(9, 7), QPointF(9, 12));
        break;
    case MenuIcons::Glyph::Tags:
        p.drawPolygon(QPolygonF({{2, 2}, {8, 2}, {14.5, 8.5}, {8.5, 14.5}, {2, 8}}));
        p.drawEllipse(QPointF(5.5, 5.5), 1.2, 1.2);
        break;
    case MenuIcons::Glyph::Up:
        p.drawLine(QPointF(8, 14), QPointF(8, 2.5));
        p.drawPolyline(QPolygonF({{3, 7.5}, {8, 2.5}, {13, 7.5}}));
        break;
    case MenuIcons::Glyph::Down:
        p.drawLine(QPointF(8, 2), QPointF(8, 13.5));
        p.drawPolyline(QPolygonF({{3, 8.5}, {8, 13.5}, {13, 8.5}}));
        break;
    case MenuIcons::Glyph::Stop:
        p.setBrush(color);
        p.drawRect(QRectF(3.5, 3.5, 9, 9));
        break;
    case MenuIcons::Glyph::Cutter:
        // Scissors: the pieces are cut.
        p.drawEllipse(QPointF(4.5, 12), 2.2, 2.2);
        p.drawEllipse(QPointF(11.5, 12), 2.2, 2.2);
        p.drawLine(QPointF(6, 10.3), QPointF(12, 1.5));
        p.drawLine(QPointF(10, 10.3), QPointF(4, 1.5));
        break;
    case MenuIcons::Glyph::Exit:
        p.drawPolyline(QPolygonF({{9, 5}, {9, 2}, {2, 2}, {2, 14}, {9, 14}, {9, 11}}));
        p.drawLine(QPointF(5.5, 8), QPointF(14, 8));
        p.drawPolyline(QPolygonF({{11, 5}, {14, 8}, {11, 11}}));
        break;
    case MenuIcons::Glyph::ImportSegments:
    case MenuIcons::Glyph::ExportSegments: {
        // A list of segments, and an arrow into it or out of it.
        for (const double y : {3.0, 8.0, 13.0})
            p.drawLine(QPointF(8, y), QPointF(14.5, y));
        const bool in = glyph == MenuIcons::Glyph::ImportSegments;
        p.drawLine(QPointF(1.5, 8), QPointF(6, 8));
        p.drawPolyline(in ? QPolygonF({{3.5, 5.5}, {6, 8}, {3.5, 10.5}})
                          : QPolygonF({{4, 5.5}, {1.5, 8}, {4, 10.5}}));
        break;
    }
    case MenuIcons::Glyph::Waveform:
        // A wave between two cuts.
        p.drawPolyline(QPolygonF({{3, 8}, {5, 3}, {7, 13}, {9, 5}, {11, 11}, {13, 8}}));
        p.drawLine(QPointF(1.5, 1.5), QPointF(1.5, 14.5));
        p.drawLine(QPointF(14.5, 1.5), QPointF(14.5, 14.5));
        break;
    case MenuIcons::Glyph::Help: {
        p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
        QPainterPath mark;
        mark.moveTo(5.8, 6.3);
        mark.cubicTo(5.8, 3.6, 10.2, 3.6, 10.2, 6.3);
        mark.cubicTo(10.2, 7.8, 8, 8, 8, 9.8);
        p.drawPath(mark);
        p.setBrush(color);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(8, 12), 1, 1);
        break;
    }
    case MenuIcons::Glyph::Web:
        p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
        p.drawEllipse(QPointF(8, 8), 2.8, 6.5);
        p.drawLine(QPointF(1.5, 8), QPointF(14.5, 8));
        break;
    case MenuIcons::Glyph::About:
        p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
        p.drawLine(QPointF(8, 7), QPointF(8, 11.5));
        p.setBrush(color);
        p.setPen(Qt::NoPen);
        p.drawEllipse(QPointF(8, 4.6), 1, 1);
        break;
    }
}

QPixmap render(MenuIcons::Glyph glyph, const QColor& color, int size, qreal ratio) {
    QPixmap pixmap(QSize(size, size) * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(Qt::transparent);
    QPainter painter(&pixmap);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.scale(size / 16.0, size / 16.0);
    draw(painter, glyph, color);
    return pixmap;
}

} // namespace

QIcon MenuIcons::icon(Glyph glyph, const QColor& normal, const QColor& selected) {
    QColor disabled = normal;
    disabled.setAlphaF(0.4f);
    QIcon icon;
    // The menus' size on ordinary and on high-density screens, and a larger
    // one to scale down from.
    const std::pair<int, qreal> sizes[] = {{16, 1.0}, {16, 2.0}, {32, 1.0}};
    for (const auto& [size, ratio] : sizes) {
        icon.addPixmap(render(glyph, normal, size, ratio), QIcon::Normal);
        const QPixmap lit = render(glyph, selected, size, ratio);
        icon.addPixmap(lit, QIcon::Active);
        icon.addPixmap(lit, QIcon::Selected);
        icon.addPixmap(render(glyph, disabled, size, ratio), QIcon::Disabled);
    }
    return icon;
}
