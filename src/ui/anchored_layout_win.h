// A resizable dialog's controls kept in place by their anchors
// (window_layout.h): the places the controls have when the layout is taken
// are the default layout, and every WM_SIZE moves them from there. Also the
// window's smallest size and its kept place on the screen.
#pragma once

#include <windows.h>

#include <string>
#include <vector>

#include "ui/window_layout.h"

namespace ui {

class AnchoredLayout {
public:
    // Takes the dialog's child windows where they are now as the default
    // layout, `growing` the one that grows with the window; `placesItself`
    // (a toolbar) is left to itself. Controls `touchGapUnits` dialog units
    // apart or less go together.
    void Take(HWND dialog, HWND growing, HWND placesItself, int touchGapUnits);
    // After Take: `control` keeps both its left edge and its distance to the
    // right one, so that it widens with the window (a field of long texts).
    void StretchAcross(HWND control);
    // WM_SIZE: every control moved for the client area's new size, at once.
    void Apply(HWND dialog) const;
    // WM_GETMINMAXINFO: the window is never made smaller than this.
    void SetMinimumSize(int width, int height);
    void LimitTracking(MINMAXINFO& limits) const;
    int MinimumWidth() const { return minWidth_; }
    int MinimumHeight() const { return minHeight_; }

private:
    struct Control {
        HWND window;
        Box box;
        unsigned anchors;
    };
    std::vector<Control> controls_;
    int clientWidth_ = 0;
    int clientHeight_ = 0;
    int minWidth_ = 0;
    int minHeight_ = 0;
};

// The window's restored box and whether it is maximised, as FormatWindowPlace
// stores it (in the workspace coordinates of GetWindowPlacement).
std::string KeptWindowPlace(HWND window);
// Puts the window at a kept place, brought onto the work area of the monitor
// nearest to it and no smaller than the minimum; the window stays hidden.
// True when the window is to be shown maximised.
bool RestoreWindowPlace(HWND window, const std::string& kept, int minWidth, int minHeight);

}  // namespace ui
