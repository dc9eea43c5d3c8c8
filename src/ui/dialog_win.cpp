#include "ui/dialog_win.h"

#include <commctrl.h>

namespace ui {

namespace {

// Dialog templates name common controls (list views, progress bars) by
// class; the classes must be registered before the first template is read.
void RegisterCommonControls() {
    static const bool registered = [] {
        INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
        return InitCommonControlsEx(&controls) != FALSE;
    }();
    (void)registered;
}

}  // namespace

UINT ReflectedDrawItemMessage() {
    static const UINT message = RegisterWindowMessageA("Veilgate.ReflectedDrawItem");
    return message;
}

Dialog::Dialog(int resourceId) : resourceId_(resourceId) {}

Dialog::~Dialog() {
    // No message may reach a half-destroyed object.
    HWND hwnd = hwnd_;
    Unbind();
    if (hwnd && !modal_ && IsWindow(hwnd))
        DestroyWindow(hwnd);
}

INT_PTR Dialog::DoModal(HWND parent) {
    if (hwnd_)
        return -1;  // one window per object at a time
    modal_ = true;
    result_ = IDCANCEL;
    RegisterCommonControls();
    return DialogBoxParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId_), parent,
                           StaticProc, reinterpret_cast<LPARAM>(this));
}

HWND Dialog::Create(HWND parent) {
    if (hwnd_)
        return nullptr;
    modal_ = false;
    result_ = IDCANCEL;
    RegisterCommonControls();
    return CreateDialogParamA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId_), parent,
                              StaticProc, reinterpret_cast<LPARAM>(this));
}

void Dialog::UseDialogColors() {
    if (!colors_)
        colors_ = std::make_unique<DialogColors>();
}

HBRUSH Dialog::OnCtlColor(HDC dc, HWND control, UINT message) {
    return colors_ ? colors_->OnCtlColor(dc, message) : nullptr;
}

void Dialog::End(INT_PTR result) {
    result_ = result;
    if (!hwnd_)
        return;
    if (modal_)
        EndDialog(hwnd_, result);
    else
        DestroyWindow(hwnd_);
}

void Dialog::Unbind() {
    if (hwnd_)
        SetWindowLongPtrA(hwnd_, DWLP_USER, 0);
    hwnd_ = nullptr;
}

INT_PTR CALLBACK Dialog::StaticProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    Dialog* self;
    if (message == WM_INITDIALOG) {
        self = reinterpret_cast<Dialog*>(lParam);
        self->hwnd_ = hwnd;
        SetWindowLongPtrA(hwnd, DWLP_USER, lParam);
    } else {
        self = reinterpret_cast<Dialog*>(GetWindowLongPtrA(hwnd, DWLP_USER));
    }
    if (!self)
        return FALSE;
    try {
        INT_PTR answer = self->Proc(message, wParam, lParam);
        if (message == WM_NCDESTROY)
            self->Unbind();
        return answer;
    } catch (...) {
        // Nothing may unwind through a window procedure.
        return FALSE;
    }
}

INT_PTR Dialog::Proc(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_INITDIALOG:
        return OnInitDialog() ? TRUE : FALSE;
    case WM_COMMAND: {
        int id = LOWORD(wParam);
        int code = HIWORD(wParam);
        if (OnCommand(id, code, reinterpret_cast<HWND>(lParam)))
            return TRUE;
        if (id == IDOK && code == BN_CLICKED) {
            OnOK();
            return TRUE;
        }
        if (id == IDCANCEL) {  // the Cancel button, Escape and the close box
            OnCancel();
            return TRUE;
        }
        return FALSE;
    }
    case WM_CTLCOLORDLG:
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORLISTBOX:
        return reinterpret_cast<INT_PTR>(
            OnCtlColor(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam), message));
    case WM_DRAWITEM: {
        DRAWITEMSTRUCT& item = *reinterpret_cast<DRAWITEMSTRUCT*>(lParam);
        if (OnDrawItem(static_cast<int>(wParam), item))
            return TRUE;
        if (item.CtlType == ODT_BUTTON && item.hwndItem)
            return SendMessageA(item.hwndItem, ReflectedDrawItemMessage(), 0, lParam) ? TRUE
                                                                                      : FALSE;
        return FALSE;
    }
    case WM_ERASEBKGND:
        if (!OnEraseBackground(reinterpret_cast<HDC>(wParam)))
            return FALSE;
        SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, TRUE);
        return TRUE;
    case WM_NOTIFY: {
        NMHDR& header = *reinterpret_cast<NMHDR*>(lParam);
        LRESULT result = 0;
        if (!OnNotify(static_cast<int>(header.idFrom), header, result))
            return FALSE;
        SetWindowLongPtrA(hwnd_, DWLP_MSGRESULT, result);
        return TRUE;
    }
    case WM_DESTROY:
        OnDestroy();
        return FALSE;
    default: {
        bool handled = false;
        INT_PTR answer = OnMessage(message, wParam, lParam, handled);
        return handled ? answer : FALSE;
    }
    }
}

}  // namespace ui
