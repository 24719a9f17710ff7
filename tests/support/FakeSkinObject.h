#pragma once

#include "app/skin/ISkinElement.h"
#include "app/skin/ISkinScrollBar.h"
#include "app/skin/ISkinText.h"

#include <QString>

// A skin object that records what the job logic does to it: slider values,
// text, rectangle and redraws. Positions are kept within the usable range, as
// the real slider keeps its thumb on the track.
class FakeSkinObject : public ISkinScrollBar, public ISkinText, public ISkinElement {
public:
    int max = 100;
    int thumb = 10;
    int position = 0;
    QString text;
    SkinRect rect;
    int refreshes = 0;

    int GetMax() const override { return max; }
    void SetMax(int value) override { max = value; }
    int GetThumbSize() const override { return thumb; }
    void SetThumbSize(int size) override { thumb = size; }
    int GetPosition() const override { return position; }
    void SetPosition(int value) override;
    void SetText(const QString& value) override { text = value; }
    SkinRect GetRect() const override { return rect; }
    void SetRect(const SkinRect& value) override { rect = value; }
    void Refresh() override { ++refreshes; }
};
