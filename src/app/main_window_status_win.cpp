// The window's state as the logic shows it: the status line, the progress of
// "Find Working Proxies", the boxes, the MinutesField and the timers.
#include "app/main_window_win.h"

#include "app/main_window_res.h"
#include "ui/data_exchange_win.h"
#include "ui/message_box.h"

bool MainWindow::EnableBox() {
    return ui::GetCheckBox(Hwnd(), IDC_ENABLE) == 1;
}

void MainWindow::SetEnableBox(bool ticked) {
    ui::SetCheckBox(Hwnd(), IDC_ENABLE, ticked ? 1 : 0);
}

void MainWindow::SetStatusLine(const std::string& text) {
    ui::SetFieldText(Hwnd(), IDC_STATUS_LINE, text);
}

void MainWindow::ShowFindProgress(size_t checked, size_t total, bool running) {
    HWND bar = Item(IDC_FIND_PROGRESS);
    // The bar counts in thousandths, so any number of proxies fits its range.
    SendMessageA(bar, PBM_SETRANGE32, 0, 1000);
    SendMessageA(bar, PBM_SETPOS, total == 0 ? 0 : static_cast<WPARAM>(checked * 1000 / total), 0);
    ShowWindow(bar, running ? SW_SHOWNA : SW_HIDE);
    ui::SetFieldText(Hwnd(), IDC_FIND_WORKING, running ? "Stop" : "Find Working Proxies");
}

void MainWindow::Repaint() {
    RedrawWindow(Hwnd(), nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
}

void MainWindow::Tell(const std::string& text, const std::string& caption) {
    // A switch that the end of the session overtook may still report; a
    // box then would hold the end.
    if (ending_)
        return;
    ui::ShowMessage(Hwnd(), text, caption);
}

bool MainWindow::RotationBox() {
    return ui::GetCheckBox(Hwnd(), IDC_ROTATION) == 1;
}

void MainWindow::SetRotationBox(bool ticked) {
    ui::SetCheckBox(Hwnd(), IDC_ROTATION, ticked ? 1 : 0);
}

bool MainWindow::ReadMinutes(uint32_t& minutes) {
    return ui::GetFieldUnsigned(Hwnd(), IDC_MINUTES, minutes);
}

// Written only when the text differs, and with the caret kept: rewriting
// the field on every keystroke put the caret at its start, so that the next
// digit went in front ("20" typed became 2).
void MainWindow::SetMinutes(uint32_t minutes) {
    writingMinutes_ = true;
    ui::SetFieldUnsignedKeepingCaret(Hwnd(), IDC_MINUTES, minutes);
    writingMinutes_ = false;
}

void MainWindow::StartRotationTimer(uint32_t periodMs) {
    SetTimer(Hwnd(), rotation::TimerId, periodMs, nullptr);
}

void MainWindow::StopRotationTimer() {
    KillTimer(Hwnd(), rotation::TimerId);
}

void MainWindow::StartListDeadline(uint32_t periodMs) {
    SetTimer(Hwnd(), list_refresh::DeadlineTimerId, periodMs, nullptr);
}

void MainWindow::StopListDeadline() {
    KillTimer(Hwnd(), list_refresh::DeadlineTimerId);
}

void MainWindow::StartRecheckTimer(uint32_t periodMs) {
    SetTimer(Hwnd(), startup_check::RecheckTimerId, periodMs, nullptr);
}

void MainWindow::StopRecheckTimer() {
    KillTimer(Hwnd(), startup_check::RecheckTimerId);
}
