#include "browsers/browser_config_dialog_win.h"

#include "ui/data_exchange_win.h"
#include "browsers/browser_config_dialog_res.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

namespace {

// A click is stored even when the wrapper believes the value already holds
// it (a value of 2 shows as 0), so what the box shows is what is stored.
constexpr bool AlwaysWrite = true;

int FlagOf(const char* path) {
    return RegDwordValue(path).IsOn() ? 1 : 0;
}

void StoreFlag(const char* path, int value) {
    RegDwordValue(path, 0, AlwaysWrite).Set(static_cast<uint32_t>(value));
}

}  // namespace

BrowserConfigDialog::BrowserConfigDialog() : Dialog(IDD_BROWSER_CONFIG) {
    UseDialogColors();
}

bool BrowserConfigDialog::OnInitDialog() {
    opera_ = FlagOf(setting::Opera);
    netscape_ = FlagOf(setting::Netscape);
    mozilla_ = FlagOf(setting::Mozilla);
    ui::SetCheckBox(Hwnd(), IDC_CONFIGURE_OPERA, opera_);
    ui::SetCheckBox(Hwnd(), IDC_CONFIGURE_NETSCAPE, netscape_);
    ui::SetCheckBox(Hwnd(), IDC_CONFIGURE_MOZILLA, mozilla_);
    applyButton_.Attach(IDOK, Hwnd());
    cancelButton_.Attach(IDCANCEL, Hwnd());
    return true;
}

bool BrowserConfigDialog::OnCommand(int id, int notifyCode, HWND control) {
    if (notifyCode != BN_CLICKED)
        return false;
    switch (id) {
    case IDC_CONFIGURE_OPERA:
        ReadBoxes();
        StoreFlag(setting::Opera, opera_);
        return true;
    case IDC_CONFIGURE_NETSCAPE:
        ReadBoxes();
        StoreFlag(setting::Netscape, netscape_);
        return true;
    case IDC_CONFIGURE_MOZILLA:
        ReadBoxes();
        StoreFlag(setting::Mozilla, mozilla_);
        return true;
    default:
        return false;
    }
}

void BrowserConfigDialog::OnOK() {
    ReadBoxes();
    End(IDOK);
}

void BrowserConfigDialog::ReadBoxes() {
    opera_ = ui::GetCheckBox(Hwnd(), IDC_CONFIGURE_OPERA);
    netscape_ = ui::GetCheckBox(Hwnd(), IDC_CONFIGURE_NETSCAPE);
    mozilla_ = ui::GetCheckBox(Hwnd(), IDC_CONFIGURE_MOZILLA);
}
