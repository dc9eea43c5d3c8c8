#include "app/dialogs/advanced_settings_dialog_win.h"

#include "app/dialogs/advanced_settings_dialog_res.h"
#include "base/files.h"
#include "base/leading_number.h"
#include "ui/data_exchange_win.h"
#include "ui/message_box.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

constexpr int LowestPort = 1;
constexpr int HighestPort = 65535;

}  // namespace

AdvancedSettingsDialog::AdvancedSettingsDialog(const EngineStatus* engine)
    : Dialog(IDD_ADVANCED_SETTINGS), engine_(engine) {
    UseDialogColors();
}

bool AdvancedSettingsDialog::OnInitDialog() {
    uint32_t port = RegDwordValue(setting::LocalPort, setting::LocalPortDefault).Get();
    portText_ = std::to_string(static_cast<int>(port));
    runAtStartup_ = RegDwordValue(setting::RunAtStartup).IsOn() ? 1 : 0;
    checkAfterOn_ = RegDwordValue(setting::CheckAfterSwitchingOn).IsOn() ? 1 : 0;
    ui::SetFieldText(Hwnd(), IDC_LOCAL_PORT, portText_);
    ui::LimitFieldText(Hwnd(), IDC_LOCAL_PORT, MaxPortLength);
    ui::SetCheckBox(Hwnd(), IDC_RUN_AT_STARTUP, runAtStartup_);
    ui::SetCheckBox(Hwnd(), IDC_CHECK_AFTER_ON, checkAfterOn_);
    testButton_.Attach(IDC_TEST_PORT, Hwnd());
    applyButton_.Attach(IDC_APPLY, Hwnd());
    cancelButton_.Attach(IDC_CANCEL_SETTINGS, Hwnd());
    // Owner-drawn buttons cannot carry the default style, so say it here.
    SendMessageA(Hwnd(), DM_SETDEFID, IDC_APPLY, 0);
    return true;
}

bool AdvancedSettingsDialog::OnCommand(int id, int notifyCode, HWND control) {
    if (notifyCode != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_TEST_PORT:
        TestPort();
        return true;
    case IDC_APPLY:
        Store();
        End(IDOK);
        return true;
    case IDC_CANCEL_SETTINGS:
        End(IDCANCEL);
        return true;
    default:
        return false;
    }
}

void AdvancedSettingsDialog::OnOK() {
    Store();
    End(IDOK);
}

INT_PTR AdvancedSettingsDialog::OnMessage(UINT message, WPARAM wParam, LPARAM lParam,
                                          bool& handled) {
    // The close box stores what is shown before the window goes; Escape,
    // which arrives as IDCANCEL without WM_CLOSE, does not.
    if (message == WM_CLOSE) {
        Store();
        End(IDCANCEL);
        handled = true;
        return TRUE;
    }
    return 0;
}

void AdvancedSettingsDialog::ReadControls() {
    portText_ = ui::GetFieldText(Hwnd(), IDC_LOCAL_PORT);
    runAtStartup_ = ui::GetCheckBox(Hwnd(), IDC_RUN_AT_STARTUP);
    checkAfterOn_ = ui::GetCheckBox(Hwnd(), IDC_CHECK_AFTER_ON);
}

void AdvancedSettingsDialog::Store() {
    ReadControls();
    RegStringValue startupEntry(setting::StartupEntry, "", false, SettingsRoot::CurrentUser);
    if (runAtStartup_ == 1) {
        RegDwordValue(setting::RunAtStartup).Set(1);
        // The program's own path, not AppFullPath: this entry runs in this
        // user's log-on the copy the user chose. Quoted, as the path usually
        // holds blanks; an unknown path leaves it empty.
        std::string program = base::ProgramPath();
        startupEntry.Set(program.empty() ? std::string() : "\"" + program + "\"");
    } else {
        RegDwordValue(setting::RunAtStartup).Set(0);
        // Emptied rather than removed; a missing entry stays missing.
        startupEntry.Set("");
    }
    RegDwordValue(setting::CheckAfterSwitchingOn).Set(checkAfterOn_ == 1 ? 1 : 0);
    // Any port a socket can use is stored, tested or not; an empty field
    // (0) or a five-digit number beyond 65535 would leave the engine unable
    // to start on the next run, so the stored port is kept instead.
    int port = base::ParseLeadingInt(portText_);
    if (port >= LowestPort && port <= HighestPort)
        RegDwordValue(setting::LocalPort, setting::LocalPortDefault)
            .Set(static_cast<uint32_t>(port));
}

void AdvancedSettingsDialog::TestPort() {
    ReadControls();
    PortTestReport report = TestLocalPort(portText_, engine_);
    ui::ShowMessage(Hwnd(), report.text, report.caption);
    if (report.clearPortText) {
        portText_.clear();
        ui::SetFieldText(Hwnd(), IDC_LOCAL_PORT, portText_);
    }
}
