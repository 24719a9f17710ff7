#pragma once

// A rectangle in window pixels, as the skin reports it: left and top are the
// first pixels inside, right and bottom the first pixels past the edge, so
// the width is right - left.
struct SkinRect {
    int left = 0;
    int top = 0;
    int right = 0;
    int bottom = 0;

    bool operator==(const SkinRect&) const = default;
};

// The placement of a skin object, and its redraw.
class ISkinElement {
public:
    virtual ~ISkinElement() = default;
    virtual SkinRect GetRect() const = 0;
    virtual void SetRect(const SkinRect& rect) = 0;
    // Redraws the object; called after every change.
    virtual void Refresh() = 0;
};
