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
