#include "ui/colors_win.h"

namespace ui {

DialogColors::DialogColors() : brush_(CreateSolidBrush(DialogBackground)) {}

DialogColors::~DialogColors() {
    if (brush_)
        DeleteObject(brush_);
}

HBRUSH DialogColors::OnCtlColor(HDC dc, UINT message) const {
    if (message != WM_CTLCOLORDLG && message != WM_CTLCOLORSTATIC)
        return nullptr;
    SetBkMode(dc, TRANSPARENT);
    if (message == WM_CTLCOLORSTATIC)
        SetTextColor(dc, LabelText);
    return brush_;
}

}  // namespace ui
