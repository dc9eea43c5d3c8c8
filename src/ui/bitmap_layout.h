// Where a background bitmap goes in a window, by drawing mode, apart from
// any drawing.
#pragma once

#include <vector>

namespace ui {

enum BitmapMode { BitmapTiled = 0, BitmapCentred = 1, BitmapStretched = 2 };

struct Placement {
    int x, y, width, height;  // destination; the whole bitmap is drawn there
    bool operator==(const Placement& o) const {
        return x == o.x && y == o.y && width == o.width && height == o.height;
    }
};

// True for the three modes that a BitmapDialog accepts.
bool IsBitmapMode(int mode);

// The copies of a bitmap of bitmapWidth x bitmapHeight that cover a client
// area: tiled from the top-left corner row by row, centred (at 0 on an axis
// where the bitmap is the larger), or stretched over the whole area. Empty
// when either size is not positive or the mode is unknown.
std::vector<Placement> PlaceBitmap(int mode, int clientWidth, int clientHeight, int bitmapWidth,
                                   int bitmapHeight);

}  // namespace ui
