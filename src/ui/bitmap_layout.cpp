#include "ui/bitmap_layout.h"

namespace ui {

bool IsBitmapMode(int mode) {
    return mode == BitmapTiled || mode == BitmapCentred || mode == BitmapStretched;
}

std::vector<Placement> PlaceBitmap(int mode, int clientWidth, int clientHeight, int bitmapWidth,
                                   int bitmapHeight) {
    std::vector<Placement> placements;
    if (clientWidth <= 0 || clientHeight <= 0 || bitmapWidth <= 0 || bitmapHeight <= 0)
        return placements;
    switch (mode) {
    case BitmapTiled:
        for (int y = 0; y < clientHeight; y += bitmapHeight)
            for (int x = 0; x < clientWidth; x += bitmapWidth)
                placements.push_back({x, y, bitmapWidth, bitmapHeight});
        break;
    case BitmapCentred: {
        int x = clientWidth > bitmapWidth ? (clientWidth - bitmapWidth) / 2 : 0;
        int y = clientHeight > bitmapHeight ? (clientHeight - bitmapHeight) / 2 : 0;
        placements.push_back({x, y, bitmapWidth, bitmapHeight});
        break;
    }
    case BitmapStretched:
        placements.push_back({0, 0, clientWidth, clientHeight});
        break;
    default:
        break;
    }
    return placements;
}

std::vector<BitmapPiece> ExtendBitmap(int clientWidth, int clientHeight, int bitmapWidth,
                                      int bitmapHeight) {
    std::vector<BitmapPiece> pieces;
    if (clientWidth <= 0 || clientHeight <= 0 || bitmapWidth <= 0 || bitmapHeight <= 0)
        return pieces;
    int w = bitmapWidth, h = bitmapHeight;
    pieces.push_back({{0, 0, w, h}, {0, 0, w, h}});
    // The bottom row is a darker edge: the colour above it goes on.
    int fillRow = h > 1 ? h - 2 : 0;
    if (clientWidth > w)
        pieces.push_back({{w, 0, clientWidth - w, h}, {w - 1, 0, 1, h}});
    if (clientHeight > h)
        pieces.push_back({{0, h, w, clientHeight - h}, {0, fillRow, w, 1}});
    if (clientWidth > w && clientHeight > h)
        pieces.push_back({{w, h, clientWidth - w, clientHeight - h}, {w - 1, fillRow, 1, 1}});
    return pieces;
}

int PictureScaleForDpi(int dpi) {
    int chosen = PictureScales[0];
    for (int percent : PictureScales) {
        if (dpi * 100 >= percent * 96)
            chosen = percent;
    }
    return chosen;
}

int ScalePixels(int pixels, int percent) {
    return (pixels * percent + 50) / 100;
}

}  // namespace ui
