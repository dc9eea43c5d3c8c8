#include "ui/tray_icon_win.h"

namespace ui {

namespace {

// Sent to every top-level window when the shell's taskbar is (re)created,
// after which icons added before are gone.
UINT TaskbarCreatedMessage() {
    static const UINT message = RegisterWindowMessageA("TaskbarCreated");
    return message;
}

}  // namespace

TrayIcon::TrayIcon(int resourceId) : BitmapDialog(resourceId) {
    record_.cbSize = sizeof record_;
    record_.uID = IconId;
    record_.uFlags = NIF_MESSAGE;
    record_.uCallbackMessage = CallbackMessage;
}

bool TrayIcon::SetTrayIcon(int iconResourceId) {
    HICON icon = static_cast<HICON>(
        LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(iconResourceId), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    if (!icon)
        return false;
    icon_.Reset(icon);
    record_.hIcon = icon;
    record_.uFlags |= NIF_ICON;
    return true;
}

void TrayIcon::SetTrayTip(const std::string& tip) {
    lstrcpynA(record_.szTip, tip.c_str(), sizeof record_.szTip);
    record_.uFlags |= NIF_TIP;
}

bool TrayIcon::SetTrayMenu(int menuResourceId) {
    menu_.Reset(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(menuResourceId)));
    return menu_.IsValid();
}

bool TrayIcon::Notify(DWORD action) {
    record_.hWnd = Hwnd();
    return Shell_NotifyIconA(action, &record_) != FALSE;
}

bool TrayIcon::AddTrayIcon() {
    if (iconShown_)
        return false;
    iconShown_ = Notify(NIM_ADD);
    return iconShown_;
}

bool TrayIcon::RemoveTrayIcon() {
    if (!iconShown_)
        return false;
    if (!Notify(NIM_DELETE))
        return false;
    iconShown_ = false;
    return true;
}

bool TrayIcon::ShowBalloon(const std::string& title, const std::string& text) {
    if (!iconShown_)
        return false;
    // A copy: the record's own flags must not carry the balloon into the
    // next NIM_ADD, which would show it again.
    NOTIFYICONDATAA balloon = record_;
    balloon.hWnd = Hwnd();
    balloon.uFlags = NIF_INFO;
    lstrcpynA(balloon.szInfoTitle, title.c_str(), sizeof balloon.szInfoTitle);
    lstrcpynA(balloon.szInfo, text.c_str(), sizeof balloon.szInfo);
    balloon.dwInfoFlags = NIIF_INFO;
    return Shell_NotifyIconA(NIM_MODIFY, &balloon) != FALSE;
}

void TrayIcon::ShowTrayMenu(POINT where) {
    HMENU submenu = menu_ ? GetSubMenu(menu_.Get(), 0) : nullptr;
    if (!submenu)
        return;
    // Without it the menu stays open when the user clicks elsewhere.
    SetForegroundWindow(Hwnd());
    TrackPopupMenu(submenu, TPM_BOTTOMALIGN | TPM_RIGHTBUTTON, where.x, where.y, 0, Hwnd(),
                   nullptr);
    SetMenuDefaultItem(submenu, defaultItem_, TRUE);
}

void TrayIcon::OnTrayLeftDoubleClick() {
    if (trayEnabled_ && RemoveTrayIcon())
        ShowWindow(Hwnd(), SW_SHOW);
}

void TrayIcon::OnTrayCallback(WPARAM iconId, LPARAM mouseMessage) {
    if (iconId != IconId)
        return;
    switch (mouseMessage) {
    case WM_CONTEXTMENU:
    case WM_RBUTTONDOWN: {
        POINT where{};
        GetCursorPos(&where);
        OnTrayContextMenu(where);
        break;
    }
    case WM_LBUTTONDOWN:
        OnTrayLeftButtonDown();
        break;
    case WM_LBUTTONDBLCLK:
        OnTrayLeftDoubleClick();
        break;
    case WM_RBUTTONDBLCLK:
        OnTrayRightDoubleClick();
        break;
    case WM_MOUSEMOVE:
        OnTrayMouseMove();
        break;
    default:
        break;
    }
}

bool TrayIcon::OnSystemCommand(WPARAM command) {
    UINT kind = static_cast<UINT>(command & 0xFFF0);
    if (kind == AboutCommand) {
        OnAbout();
        return true;
    }
    if ((kind == SC_MINIMIZE || kind == SC_CLOSE) && trayEnabled_) {
        if (!AddTrayIcon())
            AddTrayIcon();
        ShowWindow(Hwnd(), SW_HIDE);
        OnWentToTray();
        return true;
    }
    return false;
}

void TrayIcon::OnDestroy() {
    if (Hwnd() && iconShown_)
        RemoveTrayIcon();
}

INT_PTR TrayIcon::OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) {
    if (message == CallbackMessage) {
        OnTrayCallback(wParam, lParam);
        handled = true;
    } else if (message == WM_SYSCOMMAND) {
        handled = OnSystemCommand(wParam);
    } else if (message == TaskbarCreatedMessage() && iconShown_) {
        iconShown_ = false;
        AddTrayIcon();
        handled = true;
    }
    // A dialog procedure answers TRUE for what it handled, or the dialog's
    // default handling would minimise or close the window after all.
    return handled ? TRUE : FALSE;
}

}  // namespace ui
