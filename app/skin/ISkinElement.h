#pragma once

#include "app/skin/SkinRect.h"

// The placement of a skin object, and its redraw.
class ISkinElement {
public:
    virtual ~ISkinElement() = default;
    virtual SkinRect GetRect() const = 0;
    virtual void SetRect(const SkinRect& rect) = 0;
    // Redraws the object; called after every change.
    virtual void Refresh() = 0;
};
