#pragma once

#include "app/skin/ISkinElement.h"
#include "app/skin/ISkinScrollBar.h"
#include "app/skin/ISkinText.h"

// A skin object nobody sees: the command-line tool drives the same job logic
// as the window, whose slider and captions have nowhere to go here. It keeps
// what it is given, so the slider arithmetic reads sensible values back.
class UnseenSkinObject : public ISkinScrollBar, public ISkinText, public ISkinElement {
public:
    int GetMax() const override { return max_; }
    void SetMax(int max) override { max_ = max; }
    int GetThumbSize() const override { return thumb_; }
    void SetThumbSize(int size) override { thumb_ = size; }
    int GetPosition() const override { return position_; }
    void SetPosition(int position) override { position_ = position; }
    void SetText(const QString&) override {}
    SkinRect GetRect() const override { return rect_; }
    void SetRect(const SkinRect& rect) override { rect_ = rect; }
    void Refresh() override {}

private:
    int max_ = 100;
    int thumb_ = 10;
    int position_ = 0;
    SkinRect rect_;
};
