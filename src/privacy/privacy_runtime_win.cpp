#include "privacy/privacy_runtime_win.h"

#include "privacy/privacy_dialog_win.h"

void PrivacyRuntime::StartAutoCleanIfEnabled() {
    if (settings_.AutoClean().Get() == 1)
        autoClean_.StartThread();
}

INT_PTR PrivacyRuntime::ShowPrivacyDialog(HWND parent) {
    PrivacyDialog dialog(settings_, autoClean_, [this, parent] { work_.ReportNextPassTo(parent); });
    return dialog.DoModal(parent);
}
