// How a resizable window places its controls, apart from any window: each
// control is anchored to the edges it sits by at the window's default size,
// and keeps its distance to them when the window grows. Also the window's
// kept place, as it is stored and brought back onto the screen.
#pragma once

#include <string>
#include <vector>

namespace ui {

struct Box {
    int left = 0, top = 0, right = 0, bottom = 0;
    int Width() const { return right - left; }
    int Height() const { return bottom - top; }
    bool operator==(const Box& o) const {
        return left == o.left && top == o.top && right == o.right && bottom == o.bottom;
    }
};

enum Anchor : unsigned { AnchorLeft = 1, AnchorTop = 2, AnchorRight = 4, AnchorBottom = 8 };

// The anchors of each control, from the controls' boxes at the default
// size. The control at `growing` is anchored to all four edges. The others
// keep to the top, or to the bottom when they sit below the growing one.
// Across, controls on one row that are at most `touchGap` apart go together
// (a check box and its field, a row of buttons side by side): a group that
// reaches the growing control's right edge, and not its left, keeps to the
// right; a control spanning the growing one's whole width stretches with
// it; everything else keeps to the left.
std::vector<unsigned> AnchorsAroundGrowing(const std::vector<Box>& controls, size_t growing,
                                           int touchGap);

// Where a control of box `initial` goes once the window is dx wider and
// dy taller than at its default size.
Box AnchoredBox(const Box& initial, unsigned anchors, int dx, int dy);

// The window's kept place: its restored (not maximised) box and whether it
// was maximised, stored as "left,top,right,bottom,maximised".
struct WindowPlace {
    Box normal;
    bool maximized = false;
};
std::string FormatWindowPlace(const WindowPlace& place);
// False for anything but five whole numbers and a box of positive size.
bool ParseWindowPlace(const std::string& text, WindowPlace& place);

// The box moved and cut so that it lies in the work area, never smaller
// than the smallest size (unless the work area is).
Box ClampToWorkArea(const Box& window, const Box& workArea, int minWidth, int minHeight);

}  // namespace ui
