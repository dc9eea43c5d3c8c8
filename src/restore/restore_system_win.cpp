#include "restore/restore_system_win.h"

#include "browsers/browsing_mark.h"
#include "browsers/connection_options_win.h"
#include "browsers/mozilla_prefs_win.h"
#include "browsers/opera_win.h"
#include "restore/poll_dialog_win.h"
#include "restore/process_list_win.h"

bool SystemProcessControl::StopFirstProcessNamed(const std::string& text) {
    return ::StopFirstProcessNamed(text);
}

bool SystemProcessControl::IsProcessNamedRunning(const std::string& text, uint32_t except) {
    return FindFirstProcessNamed(text, except) != 0;
}

void SystemProcessControl::WaitForEnd(uint32_t id) {
    WaitForProcessEnd(id);
}

void SystemProcessControl::HoldRestoreLock() {
    if (!lock_)
        lock_ = std::make_unique<RestoreLock>();
}

bool SystemBrowserRestores::ResetInternetSettings() {
    return withoutRecord_ == WithoutRecord::Reset ? ResetConnectionsToUsersOwn()
                                                  : RestoreConnectionsToUsersOwn();
}

void SystemBrowserRestores::RestoreOperaInstallationIni() {
    DisableOperaProxy(OperaFile::InstallationIni, withoutRecord_);
}

void SystemBrowserRestores::RestoreOperaProfileIni() {
    DisableOperaProxy(OperaFile::ProfileIni, withoutRecord_);
}

void SystemBrowserRestores::RestoreOperaInstallationDefaults() {
    DisableOperaProxy(OperaFile::InstallationDefaults, withoutRecord_);
}

void SystemBrowserRestores::RestoreMozilla() {
    DisableMozillaProxy(withoutRecord_);
}

void SystemBrowserRestores::RestoreFirefox() {
    firefoxRunning_ = false;
    DisableFirefoxProxy(&firefoxRunning_, withoutRecord_);
}

bool SystemBrowserRestores::IsBrowsingMarkedOn() {
    return ::IsBrowsingMarkedOn();
}

void SystemBrowserRestores::ForgetBrowsingMark() {
    ClearBrowsingMark();
}

void PollDialogQuestion::Ask() {
    PollDialog dialog(PollDialog::OpenInDefaultBrowser);
    dialog.DoModal();
}
