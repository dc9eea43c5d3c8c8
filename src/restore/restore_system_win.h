// The system side of Gatereset's start routine: the real process list, the
// real browser restores and the real poll dialog.
#pragma once

#include <memory>

#include "browsers/file_record.h"
#include "browsers/restore_lock_win.h"
#include "restore/restore_sequence.h"

class SystemProcessControl : public ProcessControl {
public:
    bool StopFirstProcessNamed(const std::string& text) override;
    bool IsProcessNamedRunning(const std::string& text, uint32_t except) override;
    void WaitForEnd(uint32_t id) override;
    // Held until this object goes.
    void HoldRestoreLock() override;

private:
    std::unique_ptr<RestoreLock> lock_;
};

// The restore routines of the browser configuration, whatever browsers the
// main program was told to configure. A run for the user (Reset) resets what
// no record covers; Veilgate's quiet runs only put back what the record
// holds and what points at the local proxy.
class SystemBrowserRestores : public BrowserRestores {
public:
    explicit SystemBrowserRestores(WithoutRecord withoutRecord) : withoutRecord_(withoutRecord) {}
    bool ResetInternetSettings() override;
    void RestoreOperaInstallationIni() override;
    void RestoreOperaProfileIni() override;
    void RestoreOperaInstallationDefaults() override;
    void RestoreMozilla() override;
    void RestoreFirefox() override;
    bool IsBrowsingMarkedOn() override;
    void ForgetBrowsingMark() override;
    bool FirefoxRestoreUnfinished() override { return firefoxRunning_; }

private:
    WithoutRecord withoutRecord_;
    bool firefoxRunning_ = false;
};

// Shows the poll dialog modally; "Yes" opens the poll page in the default
// browser.
class PollDialogQuestion : public PollQuestion {
public:
    void Ask() override;
};
