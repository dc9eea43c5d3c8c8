// What the window's buttons, toolbar and tray menu do: each command handed
// to the logic, or held while the browsers are being switched.
#include "app/main_window_win.h"

#include <shellapi.h>

#include "app/dialogs/advanced_settings_dialog_win.h"
#include "app/dialogs/protection_dialog_win.h"
#include "app/main_window_parts_win.h"
#include "app/main_window_res.h"
#include "app/protection_probe_win.h"
#include "base/files.h"
#include "proxies/data_files.h"
#include "proxies/list_sources/proxy_sources_dialog_win.h"
#include "proxies/proxy_line.h"
#include "browsers/browser_config_dialog_win.h"
#include "privacy/privacy_runtime_win.h"
#include "settings/maker_endpoints.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

void OpenWithShell(HWND owner, const std::string& target) {
    ShellExecuteA(owner, "open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

}  // namespace

void MainWindow::RefreshProxyList() {
    listRefresh_->OnRefreshClicked();
}

void MainWindow::OpenHelp() {
    OpenWithShell(Hwnd(), base::JoinPath(ProgramFilesFolder(), HelpFile));
}

void MainWindow::OnToolbarCommand(int id) {
    if (id == IDT_ADVANCED_SETTINGS) {
        LocalProxyServerStatus status(server_);
        AdvancedSettingsDialog(&status).DoModal(Hwnd());
        activation_->OnLocalPortChanged();
    } else if (id == IDT_ONLINE_PRIVACY) {
        privacy_.ShowPrivacyDialog(Hwnd());
    } else if (id == IDT_BROWSERS) {
        BrowserConfigDialog().DoModal(Hwnd());
    } else if (id == IDT_HELP) {
        OpenHelp();
    }
}

bool MainWindow::HeldBySwitch(int id, int notifyCode, HWND control) {
    if (!switch_.Busy())
        return false;
    switch (id) {
    case ID_TRAY_CONFIGURATION:
    case IDC_WHAT_IS_MY_IP:
    case IDT_HELP:
    case IDC_MINUTES:
    case IDC_ROTATION:
        return false;
    case IDC_ENABLE:
        // The box ticks itself at a click: it shows the switch in hand.
        if (notifyCode == BN_CLICKED)
            SetEnableBox(activation_->Enabled());
        return true;
    default:
        // Only what a person chose: a control's other notifications
        // (focus, edits) have nothing to wait for.
        if (control && notifyCode != BN_CLICKED && notifyCode != CBN_SELCHANGE)
            return true;
        heldCommands_.emplace_back(MAKEWPARAM(id, notifyCode), reinterpret_cast<LPARAM>(control));
        return true;
    }
}

void MainWindow::AfterSwitch() {
    if (switch_.Busy())
        return;
    for (const auto& command : heldCommands_)
        PostMessageA(Hwnd(), WM_COMMAND, command.first, command.second);
    heldCommands_.clear();
}

bool MainWindow::OnCommand(int id, int notifyCode, HWND control) {
    if (!activation_)
        return false;
    if (HeldBySwitch(id, notifyCode, control))
        return true;
    switch (id) {
    case IDC_ENABLE:
        if (notifyCode != BN_CLICKED)
            return false;
        SetFocus(Item(IDC_TESTED_PROXIES));
        activation_->OnEnableBoxClicked();
        if (activation_->Enabled() && RegDwordValue(setting::CheckAfterSwitchingOn).IsOn())
            CheckProtection();
        return true;
    case IDC_PROXY_SELECTOR:
        if (notifyCode == CBN_SELCHANGE)
            OnSelectorChoice();
        return notifyCode == CBN_SELCHANGE;
    case IDC_ADD_PROXY:
        activation_->OnAddNewProxy();
        return true;
    case IDC_REFRESH_LIST:
        RefreshProxyList();
        return true;
    case IDC_WHAT_IS_MY_IP:
        OpenWithShell(Hwnd(), maker::AddressOf(maker::WhatIsMyIpPath));
        return true;
    case IDC_ROTATION:
        if (notifyCode == BN_CLICKED)
            rotation_->OnBoxClicked();
        return true;
    case IDC_MINUTES:
        if (!writingMinutes_ &&
            (notifyCode == EN_CHANGE || notifyCode == EN_UPDATE || notifyCode == EN_KILLFOCUS))
            rotation_->OnMinutesChanged();
        return true;
    case ID_TRAY_CONFIGURATION:
        ShowFromTray();
        return true;
    case IDC_FIND_WORKING:
    case ID_TRAY_FIND_WORKING:
        findWorking_->OnFindClicked(listRefresh_->Offered());
        return true;
    case IDC_PROXY_SOURCES:
    case ID_TRAY_PROXY_SOURCES:
        ProxySourcesDialog().DoModal(Hwnd());
        return true;
    case ID_TRAY_EXIT:
        Exit();
        return true;
    case IDC_CHECK_PROTECTION:
    case ID_TRAY_CHECK_PROTECTION:
        CheckProtection();
        return true;
    case IDT_ADVANCED_SETTINGS:
    case IDT_ONLINE_PRIVACY:
    case IDT_BROWSERS:
    case IDT_HELP:
        if (control == toolbar_) {
            OnToolbarCommand(id);
            return true;
        }
        return false;
    default:
        return false;
    }
}

void MainWindow::CheckProtection() {
    SystemProtectionWork work(
        [this]() {
            protection::EngineState state;
            state.localPort = static_cast<int>(
                RegDwordValue(setting::LocalPort, setting::LocalPortDefault).Get());
            state.enginePort = activation_ && activation_->Enabled() ? engine_.Port() : 0;
            std::string proxy = RegStringValue(setting::ProxyName, "").Get();
            state.activeProxy = ProxyLine(proxy).Address();
            state.level = activation_ ? activation_->LevelOf(proxy) : std::string();
            return state;
        },
        [this](protection::Fix fix) {
            if (activation_)
                activation_->PointBrowsersAgain(fix == protection::Fix::PointFirefox);
        });
    ProtectionDialog(work).DoModal(Hwnd());
}
