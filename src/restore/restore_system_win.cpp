#include "restore/restore_system_win.h"

#include "base/scoped_win.h"

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
    // Opened before the wait, while the process (which made the event at its
    // start) still holds it. A crashed process may never end on its own (a
    // crash report waits for a click, a broken heap deadlocks a handler), so
    // its crash filter only signals this and leaves the restore to us.
    base::ScopedHandle restoreNow(OpenEventA(SYNCHRONIZE, FALSE, RestoreNowEventName(id).c_str()));
    WaitForProcessEnd(id, restoreNow.Get());
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
