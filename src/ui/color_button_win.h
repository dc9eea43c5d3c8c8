// An owner-drawn push button in the program's colours, attached to an
// existing dialog control by its ID. The dialog base forwards the button's
// draw requests to it, so a dialog only has to keep the object alive.
#pragma once

#include <windows.h>

#include "ui/colors_win.h"

namespace ui {

class ColorButton {
public:
    ColorButton() = default;
    ~ColorButton();
    ColorButton(const ColorButton&) = delete;
    ColorButton& operator=(const ColorButton&) = delete;

    // Takes over control `id` of `parent`; a positive depth draws a raised
    // bevel. False when there is no such control or it is already taken.
    bool Attach(int id, HWND parent, COLORREF face = ButtonFace, COLORREF text = ButtonText,
                COLORREF disabledText = ButtonDisabledText, int depth = ButtonBevelDepth);
    // Gives the control back as it was (also done when it is destroyed).
    void Detach();

    HWND Hwnd() const { return hwnd_; }
    // Paints the button for one draw request.
    void Draw(const DRAWITEMSTRUCT& item) const;

private:
    static LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                         UINT_PTR idSubclass, DWORD_PTR refData);

    HWND hwnd_ = nullptr;
    LONG_PTR originalStyle_ = 0;
    COLORREF face_ = ButtonFace;
    COLORREF text_ = ButtonText;
    COLORREF disabledText_ = ButtonDisabledText;
    int depth_ = ButtonBevelDepth;
};

// Draws a bevel of |depth| rings into `rect` (pressed when depth < 0) and
// shrinks `rect` by one pixel on every side per ring.
void DrawBevel(HDC dc, RECT& rect, int depth);

}  // namespace ui
