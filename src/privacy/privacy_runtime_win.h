// What the privacy cleaner keeps for the whole run of the program: the ten
// long-lived settings and the auto-clean thread. Made once at start-up;
// destroying it stops the thread and waits until it has left its pass.
#pragma once

#include <windows.h>

#include "privacy/auto_clean_thread.h"
#include "privacy/privacy_settings.h"
#include "privacy/trace_cleaner_win.h"

class PrivacyRuntime {
public:
    PrivacyRuntime() = default;
    PrivacyRuntime(const PrivacyRuntime&) = delete;
    PrivacyRuntime& operator=(const PrivacyRuntime&) = delete;

    // Starts cleaning when the last "Apply" left a cleaning choice on.
    void StartAutoCleanIfEnabled();
    // Shows the Online Privacy dialog modally. The pass that its "Apply"
    // starts reports to `parent` (TraceCleanerWork::CleanReportMessage),
    // since the dialog has closed by the time the pass ends.
    INT_PTR ShowPrivacyDialog(HWND parent);

    PrivacySettings& Settings() { return settings_; }
    AutoCleanThread& AutoClean() { return autoClean_; }

private:
    PrivacySettings settings_;
    TraceCleanerWork work_;
    // Declared after the work it runs, so that it is stopped first.
    AutoCleanThread autoClean_{work_};
};
