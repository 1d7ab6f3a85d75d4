// SPDX-License-Identifier: GPL-3.0-or-later
#pragma once
// Screen geometry in which right and bottom are exclusive,
// so a rectangle covers x in [left, right) and y in [top, bottom). Never mix
// these with QRect::right()/bottom(), which are inclusive.

#include <cstdint>

struct GdiRect {
    int32_t left = 0, top = 0, right = 0, bottom = 0;

    int32_t Width() const { return right - left; }
    int32_t Height() const { return bottom - top; }
    bool Contains(int32_t x, int32_t y) const { return x >= left && x < right && y >= top && y < bottom; }
    friend bool operator==(const GdiRect&, const GdiRect&) = default;
};

struct GdiPoint {
    int32_t x = 0, y = 0;
    friend bool operator==(const GdiPoint&, const GdiPoint&) = default;
};
