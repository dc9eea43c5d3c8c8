// The window in the notification area: going there, coming back, the
// balloon, and the tray menu's "EXIT".
#include "app/main_window_win.h"

#include "app/dialogs/about_dialog_win.h"
#include "app/main_window_parts_win.h"
#include "app/tray_hint.h"
#include "session/rotation.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

void MainWindow::ShowFromTray() {
    RemoveTrayIcon();
    ShowWindow(Hwnd(), SW_SHOW);
    SetForegroundWindow(Hwnd());
}

void MainWindow::OnOK() {
    ShowWindow(Hwnd(), SW_HIDE);
    AddTrayIcon();
    OnWentToTray();
}

void MainWindow::OnWentToTray() {
    ::OnWentToTray(*this);
}

void MainWindow::OnAbout() {
    AboutDialog().DoModal(Hwnd());
}

bool MainWindow::ShowTrayBalloon(const std::string& text) {
    return ShowBalloon(activation::ProductName, text);
}

bool MainWindow::WindowShown() {
    return IsWindowVisible(Hwnd()) && !IsIconic(Hwnd());
}

void MainWindow::Exit() {
    ending_ = true;
    browsers_->RestoreDirect();
    RegDwordValue(setting::PopUpsBlockedToday, 0, true).Set(0);
    KillTimer(Hwnd(), rotation::TimerId);
    End(0);
}
