// A dialog that can live in the notification area: one icon with its tip and
// popup menu, the icon's mouse events, and minimise and close sending the
// window there instead of ending it.
#pragma once

#include <windows.h>
#include <shellapi.h>

#include <string>

#include "base/scoped_win.h"
#include "ui/bitmap_dialog_win.h"

namespace ui {

class TrayIcon : public BitmapDialog {
public:
    // The shell reports the icon's mouse events with this message.
    static constexpr UINT CallbackMessage = WM_USER + 1;
    static constexpr UINT IconId = 1;
    // The system menu's about item.
    static constexpr UINT AboutCommand = 16;

    explicit TrayIcon(int resourceId);

    // The icon from the program's resources; false when there is none.
    bool SetTrayIcon(int iconResourceId);
    // At most 127 characters are kept.
    void SetTrayTip(const std::string& tip);
    bool SetTrayMenu(int menuResourceId);
    // Each refuses to repeat its move; they answer the shell's result.
    bool AddTrayIcon();
    bool RemoveTrayIcon();
    bool IconShown() const { return iconShown_; }
    // A balloon with the information icon over the shown icon; false when
    // the icon is not shown or the shell refuses.
    bool ShowBalloon(const std::string& title, const std::string& text);
    // The menu's first submenu at a point of the screen.
    void ShowTrayMenu(POINT where);

protected:
    // The icon's mouse events; the left double-click shows the window again
    // and the context menu shows the menu.
    virtual void OnTrayLeftButtonDown() {}
    virtual void OnTrayLeftDoubleClick();
    virtual void OnTrayContextMenu(POINT where) { ShowTrayMenu(where); }
    virtual void OnTrayRightDoubleClick() {}
    virtual void OnTrayMouseMove() {}
    // The system menu's about item.
    virtual void OnAbout() {}
    // After minimise or close sent the window to the tray.
    virtual void OnWentToTray() {}

    void OnDestroy() override;
    INT_PTR OnMessage(UINT message, WPARAM wParam, LPARAM lParam, bool& handled) override;

private:
    bool Notify(DWORD action);
    void OnTrayCallback(WPARAM iconId, LPARAM mouseMessage);
    bool OnSystemCommand(WPARAM command);

    bool trayEnabled_ = true;
    bool iconShown_ = false;
    NOTIFYICONDATAA record_{};
    base::ScopedIcon icon_;
    base::ScopedMenu menu_;
    UINT defaultItem_ = 0;
};

}  // namespace ui
