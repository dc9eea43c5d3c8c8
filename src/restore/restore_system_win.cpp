#include "restore/restore_system_win.h"

#include "browsers/connection_options_win.h"
#include "browsers/mozilla_prefs_win.h"
#include "browsers/opera_win.h"
#include "restore/poll_dialog_win.h"
#include "restore/process_list_win.h"

bool SystemProcessControl::StopFirstProcessNamed(const std::string& text) {
    return ::StopFirstProcessNamed(text);
}

bool SystemBrowserRestores::ResetInternetSettings() {
    return ResetConnectionsToUsersOwn();
}

void SystemBrowserRestores::RestoreOperaInstallationIni() {
    DisableOperaProxy(OperaFile::InstallationIni);
}

void SystemBrowserRestores::RestoreOperaProfileIni() {
    DisableOperaProxy(OperaFile::ProfileIni);
}

void SystemBrowserRestores::RestoreOperaInstallationDefaults() {
    DisableOperaProxy(OperaFile::InstallationDefaults);
}

void SystemBrowserRestores::RestoreMozilla() {
    DisableMozillaProxy();
}

void SystemBrowserRestores::RestoreFirefox() {
    DisableFirefoxProxy();
}

void PollDialogQuestion::Ask() {
    PollDialog dialog(PollDialog::OpenInDefaultBrowser);
    dialog.DoModal();
}
