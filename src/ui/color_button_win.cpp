#include "ui/color_button_win.h"

#include <commctrl.h>

#include <cstdlib>

#include "ui/bevel.h"
#include "ui/dialog_win.h"
#include "base/scoped_win.h"

namespace ui {

namespace {

constexpr UINT_PTR SubclassId = 0x56474342;
// Marks a control that a ColorButton holds, so that it is taken only once.
constexpr char OwnerProperty[] = "Veilgate.ColorButton";
constexpr int MaxTextLength = 511;
constexpr int FocusInset = 4;

COLORREF ToColorRef(const ui::Grey& grey) {
    return RGB(grey.r, grey.g, grey.b);
}

void FillSolid(HDC dc, const RECT& rect, COLORREF color) {
    base::ScopedGdiObject brush(CreateSolidBrush(color));
    FillRect(dc, &rect, static_cast<HBRUSH>(brush.Get()));
}

// One-pixel line from (x1, y1) up to, not including, (x2, y2).
void Line(HDC dc, int x1, int y1, int x2, int y2, COLORREF color) {
    base::ScopedGdiObject pen(CreatePen(PS_SOLID, 1, color));
    HGDIOBJ old = SelectObject(dc, pen.Get());
    MoveToEx(dc, x1, y1, nullptr);
    LineTo(dc, x2, y2);
    SelectObject(dc, old);
}

void PaintText(HDC dc, RECT rect, const char* text, COLORREF color) {
    int oldMode = SetBkMode(dc, TRANSPARENT);
    COLORREF oldColor = SetTextColor(dc, color);
    DrawTextA(dc, text, -1, &rect, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    SetTextColor(dc, oldColor);
    SetBkMode(dc, oldMode);
}

}  // namespace

void DrawBevel(HDC dc, RECT& rect, int depth) {
    bool pressed = depth < 0;
    for (const ui::BevelRing& ring : ui::BevelRings(std::abs(depth), pressed)) {
        int right = rect.right - 1;
        int bottom = rect.bottom - 1;
        COLORREF topLeft = ToColorRef(ring.topLeft);
        COLORREF bottomRight = ToColorRef(ring.bottomRight);
        Line(dc, rect.left, rect.top, right, rect.top, topLeft);
        Line(dc, rect.left, rect.top, rect.left, bottom, topLeft);
        Line(dc, rect.left, bottom, right + 1, bottom, bottomRight);
        Line(dc, right, rect.top, right, bottom, bottomRight);
        InflateRect(&rect, -1, -1);
    }
}

ColorButton::~ColorButton() {
    Detach();
}

bool ColorButton::Attach(int id, HWND parent, COLORREF face, COLORREF text, COLORREF disabledText,
                         int depth) {
    if (hwnd_)
        return false;
    HWND control = GetDlgItem(parent, id);
    if (!control)
        return false;
    if (GetPropA(control, OwnerProperty))
        return false;
    if (!SetWindowSubclass(control, SubclassProc, SubclassId, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    SetPropA(control, OwnerProperty, reinterpret_cast<HANDLE>(this));
    hwnd_ = control;
    face_ = face;
    text_ = text;
    disabledText_ = disabledText;
    depth_ = depth;
    originalStyle_ = GetWindowLongPtrA(control, GWL_STYLE);
    SetWindowLongPtrA(control, GWL_STYLE, (originalStyle_ & ~BS_TYPEMASK) | BS_OWNERDRAW);
    InvalidateRect(control, nullptr, TRUE);
    return true;
}

void ColorButton::Detach() {
    if (!hwnd_)
        return;
    HWND control = hwnd_;
    hwnd_ = nullptr;
    if (!IsWindow(control))
        return;
    RemoveWindowSubclass(control, SubclassProc, SubclassId);
    RemovePropA(control, OwnerProperty);
    SetWindowLongPtrA(control, GWL_STYLE, originalStyle_);
    InvalidateRect(control, nullptr, TRUE);
}

void ColorButton::Draw(const DRAWITEMSTRUCT& item) const {
    HDC dc = item.hDC;
    UINT state = item.itemState;
    char text[MaxTextLength + 1] = {};
    GetWindowTextA(item.hwndItem, text, sizeof(text));

    RECT face = item.rcItem;
    RECT focus = item.rcItem;
    InflateRect(&focus, -FocusInset, -FocusInset);

    FillSolid(dc, face, face_);
    RECT inner = face;
    DrawBevel(dc, inner, depth_);
    PaintText(dc, face, text, text_);

    if (state & ODS_FOCUS) {
        DrawFocusRect(dc, &focus);
        if (state & ODS_SELECTED) {
            FillSolid(dc, face, face_);
            inner = face;
            DrawBevel(dc, inner, -1);
            RECT shifted = face;
            OffsetRect(&shifted, 1, 1);
            PaintText(dc, shifted, text, text_);
            DrawFocusRect(dc, &focus);
        }
    } else if (state & ODS_DISABLED) {
        PaintText(dc, face, text, disabledText_);
    }
}

LRESULT CALLBACK ColorButton::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                           UINT_PTR idSubclass, DWORD_PTR refData) {
    ColorButton* self = reinterpret_cast<ColorButton*>(refData);
    try {
        if (message == ReflectedDrawItemMessage()) {
            self->Draw(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam));
            return TRUE;
        }
        if (message == WM_LBUTTONDBLCLK) {
            // Owner-drawn buttons turn a quick second click into a
            // double-click notification; a person expects two presses.
            message = WM_LBUTTONDOWN;
        }
        if (message == WM_NCDESTROY) {
            RemoveWindowSubclass(hwnd, SubclassProc, idSubclass);
            RemovePropA(hwnd, OwnerProperty);
            self->hwnd_ = nullptr;
        }
    } catch (...) {
        return 0;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace ui
