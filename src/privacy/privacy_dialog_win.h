// The "Online Privacy" dialog: which traces the cleaner removes, how often,
// and whether relayed pages lose their scripts and embedded objects.
#pragma once

#include <functional>

#include "ui/color_button_win.h"
#include "ui/dialog_win.h"
#include "privacy/auto_clean_thread.h"
#include "privacy/privacy_settings.h"

class PrivacyDialog : public ui::Dialog {
public:
    // `beforeRestart` runs when "Apply" restarts the thread, before it does.
    PrivacyDialog(PrivacySettings& settings, AutoCleanThread& autoClean,
                  std::function<void()> beforeRestart = nullptr);

protected:
    bool OnInitDialog() override;
    // "Apply": stores the choices and, when any cleaning choice is on,
    // restarts the auto-clean thread so that a pass begins at once.
    void OnOK() override;

private:
    bool IsChecked(int id) const;
    void SetChecked(int id, uint32_t state);
    std::string IntervalText() const;

    PrivacySettings& settings_;
    AutoCleanThread& autoClean_;
    std::function<void()> beforeRestart_;
    ui::ColorButton applyButton_;
    ui::ColorButton cancelButton_;
};
