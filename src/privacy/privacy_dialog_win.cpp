#include "privacy/privacy_dialog_win.h"

#include <string>

#include "privacy/privacy_dialog_res.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

// The cleaning boxes in the order of Setari\IClear1 to Setari\IClear7.
constexpr int ChoiceBoxes[CleanTaskCount] = {
    IDC_CLEAR_HISTORY, IDC_CLEAR_TYPED_URLS, IDC_CLEAR_TEMPORARY_FILES, IDC_CLEAR_COOKIES,
    IDC_CLEAR_FORMS,   IDC_CLEAR_PASSWORDS,  IDC_CLEAR_FAVORITES,
};
constexpr int IntervalMaxChars = 2;

}  // namespace

PrivacyDialog::PrivacyDialog(PrivacySettings& settings, AutoCleanThread& autoClean,
                             std::function<void()> beforeRestart)
    : Dialog(IDD_ONLINE_PRIVACY),
      settings_(settings),
      autoClean_(autoClean),
      beforeRestart_(std::move(beforeRestart)) {
    UseDialogColors();
}

bool PrivacyDialog::IsChecked(int id) const {
    return SendDlgItemMessageA(Hwnd(), id, BM_GETCHECK, 0, 0) != 0;
}

void PrivacyDialog::SetChecked(int id, uint32_t state) {
    SendDlgItemMessageA(Hwnd(), id, BM_SETCHECK, state, 0);
}

std::string PrivacyDialog::IntervalText() const {
    HWND edit = Item(IDC_CLEAN_INTERVAL);
    int length = GetWindowTextLengthA(edit);
    if (length <= 0)
        return std::string();
    std::string text(static_cast<size_t>(length) + 1, '\0');
    int copied = GetWindowTextA(edit, &text[0], length + 1);
    text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
    return text;
}

bool PrivacyDialog::OnInitDialog() {
    SendDlgItemMessageA(Hwnd(), IDC_CLEAN_INTERVAL, EM_LIMITTEXT, IntervalMaxChars, 0);
    for (size_t i = 0; i < CleanTaskCount; ++i)
        SetChecked(ChoiceBoxes[i], settings_.Choice(i).Get());
    SetWindowTextA(Item(IDC_CLEAN_INTERVAL), RegStringValue(setting::Sleep).Get().c_str());
    SetChecked(IDC_BLOCK_SCRIPTS, settings_.EnableJS().Get());
    SetChecked(IDC_BLOCK_OBJECTS, settings_.EnableActiveX().Get());
    applyButton_.Attach(IDOK, Hwnd());
    cancelButton_.Attach(IDCANCEL, Hwnd());
    return true;
}

void PrivacyDialog::OnOK() {
    settings_.EnableJS().Set(IsChecked(IDC_BLOCK_SCRIPTS) ? 1 : 0);
    settings_.EnableActiveX().Set(IsChecked(IDC_BLOCK_OBJECTS) ? 1 : 0);
    for (size_t i = 0; i < CleanTaskCount; ++i)
        settings_.Choice(i).Set(IsChecked(ChoiceBoxes[i]) ? 1 : 0);

    // Stored before the thread starts: a first pass with nothing to do could
    // otherwise read the old interval and wait by that.
    RegStringValue(setting::Sleep).Set(IntervalText());

    bool anyChoice = false;
    for (size_t i = 0; i < CleanTaskCount && !anyChoice; ++i)
        anyChoice = settings_.Choice(i).Get() == 1;
    if (anyChoice) {
        settings_.AutoClean().Set(1);
        autoClean_.StopThread();
        if (beforeRestart_)
            beforeRestart_();
        autoClean_.StartThread();
    } else {
        // A thread already running is left alone; its passes find nothing to do.
        settings_.AutoClean().Set(0);
    }
    End(IDOK);
}
