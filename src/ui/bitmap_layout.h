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

// A resizable window's background beyond its picture, without the seams of
// tiles: the picture once at the top left, then its last column stretched
// across the rest of its height, and its lower rows' colours (the row above
// its bottom edge) stretched down below it. Each piece draws part `from` of
// the bitmap over `to`; one piece, the whole picture, while the window is
// no larger.
struct BitmapPiece {
    Placement to;
    Placement from;
    bool operator==(const BitmapPiece& o) const { return to == o.to && from == o.from; }
};
std::vector<BitmapPiece> ExtendBitmap(int clientWidth, int clientHeight, int bitmapWidth,
                                      int bitmapHeight);

// The scales, in percent of their size at 96 dots per inch, at which the
// program's pictures are drawn (tools/make_pictures.py draws the same).
constexpr int PictureScales[] = {100, 150, 200};

// The scale of pictures for a window at dpi: the largest drawn one that is
// no larger than the window's own, so that a toolbar of pictures never
// outgrows the controls laid out below it; 100 below 96 dots per inch.
int PictureScaleForDpi(int dpi);

// pixels at percent, rounded half up as the pictures' sizes are.
int ScalePixels(int pixels, int percent);

}  // namespace ui
