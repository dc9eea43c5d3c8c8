#include "ui/hyperlink_label_win.h"

#include <commctrl.h>
#include <shellapi.h>

namespace ui {

namespace {
constexpr UINT_PTR SubclassId = 0x4c494e4b;  // "LINK"
}

HyperlinkLabel::~HyperlinkLabel() {
    if (hwnd_ && IsWindow(hwnd_))
        RemoveWindowSubclass(hwnd_, SubclassProc, SubclassId);
}

bool HyperlinkLabel::Attach(int id, HWND parent, int cursorResourceId) {
    HWND control = GetDlgItem(parent, id);
    if (!control || hwnd_)
        return false;
    if (!SetWindowSubclass(control, SubclassProc, SubclassId, reinterpret_cast<DWORD_PTR>(this)))
        return false;
    hwnd_ = control;
    // Shared resource cursors need no destroying.
    cursor_ = LoadCursorA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(cursorResourceId));
    LOGFONTA font{};
    HFONT current = reinterpret_cast<HFONT>(SendMessageA(control, WM_GETFONT, 0, 0));
    if (current && GetObjectA(current, sizeof font, &font)) {
        font.lfUnderline = TRUE;
        font_.Reset(CreateFontIndirectA(&font));
        if (font_)
            SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_.Get()), FALSE);
    }
    return true;
}

HBRUSH HyperlinkLabel::OnCtlColor(HDC dc, HBRUSH background) const {
    SetTextColor(dc, LinkColor);
    SetBkMode(dc, TRANSPARENT);
    return background;
}

void HyperlinkLabel::Open() const {
    std::string link = link_;
    if (link.empty()) {
        char text[1024] = {};
        GetWindowTextA(hwnd_, text, sizeof text);
        link = text;
    }
    ShellExecuteA(nullptr, "open", link.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

LRESULT CALLBACK HyperlinkLabel::SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam,
                                              UINT_PTR, DWORD_PTR refData) {
    auto* self = reinterpret_cast<HyperlinkLabel*>(refData);
    switch (message) {
    case WM_NCHITTEST:
        return HTCLIENT;
    case WM_SETCURSOR:
        if (self->cursor_) {
            SetCursor(self->cursor_);
            return TRUE;
        }
        break;
    case WM_LBUTTONDOWN:
        self->Open();
        break;
    case WM_NCDESTROY:
        RemoveWindowSubclass(hwnd, SubclassProc, SubclassId);
        self->hwnd_ = nullptr;
        break;
    default:
        break;
    }
    return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace ui
