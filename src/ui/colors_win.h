// The look that every dialog of the program shares: a light blue-grey
// background with black labels, and coloured push buttons.
#pragma once

#include <windows.h>

namespace ui {

// Dialog background and label background (a solid brush of it).
constexpr COLORREF DialogBackground = RGB(214, 224, 238);
constexpr COLORREF LabelText = RGB(0, 0, 0);

// ColorButton arguments that every dialog uses.
constexpr COLORREF ButtonFace = RGB(178, 197, 223);
constexpr COLORREF ButtonText = RGB(1, 1, 1);
constexpr COLORREF ButtonDisabledText = RGB(128, 128, 128);
constexpr int ButtonBevelDepth = 2;

// The light brush of one dialog and its answer to the control-colour
// messages. The dialog itself and its labels (statics, group boxes, check
// boxes) get the light background with black text drawn transparently;
// other controls keep the system's choice.
class DialogColors {
public:
    DialogColors();
    ~DialogColors();
    DialogColors(const DialogColors&) = delete;
    DialogColors& operator=(const DialogColors&) = delete;

    HBRUSH Brush() const { return brush_; }
    // For Dialog::OnCtlColor: the brush to answer, or nullptr for the
    // system's default.
    HBRUSH OnCtlColor(HDC dc, UINT message) const;

private:
    HBRUSH brush_;
};

}  // namespace ui
