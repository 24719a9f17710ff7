#include "app/WaveformView.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

WaveformView::WaveformView(QWidget* parent) : QWidget(parent) {
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setAttribute(Qt::WA_NoSystemBackground);
}

void WaveformView::setScene(WaveformScene scene) {
    if (scene == scene_)
        return;
    scene_ = std::move(scene);
    update();
}

void WaveformView::updateColumns() {
    const AudioOverview* overview = scene_.overview.get();
    if (overview == columnsOf_ && width() == columnsWidth_)
        return;
    columnsOf_ = overview;
    columnsWidth_ = width();
    columns_.assign(static_cast<size_t>(std::max(width(), 0)), {0.0f, 0.0f});
    if (!overview || overview->bins() == 0 || width() <= 0)
        return;
    const size_t bins = overview->bins();
    const auto w = static_cast<size_t>(width());
    for (size_t x = 0; x < w; ++x) {
        const size_t from = x * bins / w;
        const size_t to = std::max(from + 1, (x + 1) * bins / w);
        std::int16_t low = 0;
        std::int16_t high = 0;
        for (size_t k = from; k < to && k < bins; ++k) {
            low = std::min(low, overview->low[k]);
            high = std::max(high, overview->high[k]);
        }
        columns_[x] = {low / 32767.0f, high / 32767.0f};
    }
}

void WaveformView::paintEvent(QPaintEvent*) {
    if (!scene_.overview)
        return;
    updateColumns();
    QPainter painter(this);
    const double w = width();
    const double h = height();
    const auto span = [w, h](const WaveformScene::Span& s) {
        return QRectF(s.from * w, 0, std::max(1.0, (s.to - s.from) * w), h);
    };
    for (const WaveformScene::Span& s : scene_.spans) {
        QColor fill(245, 138, 60, 60); // the skin's accent
        if (s.kind == WaveformScene::Span::Kind::AltPiece)
            fill = QColor(125, 226, 198, 55);
        else if (s.kind == WaveformScene::Span::Kind::Working)
            fill = QColor(90, 168, 255, 40);
        painter.fillRect(span(s), fill);
    }
    for (const WaveformScene::Span& s : scene_.silences)
        painter.fillRect(span(s).adjusted(0, h - 3, 0, 0), QColor(90, 168, 255, 170));

    const double middle = h / 2.0;
    painter.setPen(QColor(219, 226, 234, 200));
    for (int x = 0; x < static_cast<int>(columns_.size()); ++x) {
        const auto [low, high] = columns_[static_cast<size_t>(x)];
        const int top = static_cast<int>(std::floor(middle - high * middle));
        const int bottom = static_cast<int>(std::ceil(middle - low * middle));
        painter.drawLine(x, top, x, std::max(top, bottom));
    }
    if (scene_.position >= 0) {
        const int x = std::min(static_cast<int>(std::lround(scene_.position * w)), width() - 1);
        painter.setPen(QColor(245, 138, 60));
        painter.drawLine(x, 0, x, height());
    }
}
