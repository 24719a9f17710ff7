#pragma once

#include "app/WaveformScene.h"

#include <QWidget>

#include <vector>

// Draws a `WaveformScene`: shaded pieces, silences, the lowest and highest
// peak of each pixel column, and the play position as a line. It lets every
// mouse event through to the slider under it and draws nothing until it has
// an overview.
class WaveformView : public QWidget {
    Q_OBJECT

public:
    explicit WaveformView(QWidget* parent = nullptr);

    void setScene(WaveformScene scene);
    const WaveformScene& scene() const { return scene_; }

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    // Per pixel column the lowest and highest peak, worked out once per
    // overview and width.
    void updateColumns();

    WaveformScene scene_;
    std::vector<std::pair<float, float>> columns_;
    const AudioOverview* columnsOf_ = nullptr;
    int columnsWidth_ = 0;
};
