#include "app/dialogs/add_proxy_dialog_win.h"

#include "app/dialogs/add_proxy_dialog_res.h"
#include "app/proxy_address_rule.h"
#include "net/proxy_address.h"
#include "proxies/proxy_secrets.h"
#include "ui/data_exchange_win.h"
#include "ui/message_box.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

AddProxyDialog::AddProxyDialog() : Dialog(IDD_ADD_PROXY) {
    UseDialogColors();
}

bool AddProxyDialog::OnInitDialog() {
    ui::SetFieldText(Hwnd(), IDC_PROXY_ADDRESS, proxyText_);
    ui::LimitFieldText(Hwnd(), IDC_PROXY_ADDRESS, MaxProxyLength);
    okButton_.Attach(IDOK, Hwnd());
    cancelButton_.Attach(IDCANCEL, Hwnd());
    return true;
}

void AddProxyDialog::OnOK() {
    proxyText_ = ui::GetFieldText(Hwnd(), IDC_PROXY_ADDRESS);
    if (!IsAcceptableProxyText(proxyText_)) {
        ui::ShowMessage(Hwnd(), "Please enter a valid proxy address", "Veilgate");
        return;
    }
    // What no proxy can be is said here, where it was typed, and goes
    // nowhere.
    std::string problem;
    if (!net::CheckProxyText(proxyText_, problem)) {
        ui::ShowMessage(Hwnd(), problem, "Veilgate");
        return;
    }
    std::string withoutPassword;
    if (!KeepProxyPassword(proxyText_, withoutPassword)) {
        ui::ShowMessage(Hwnd(), "The password could not be kept safely; it was not stored.",
                        "Veilgate");
        return;
    }
    RegStringValue(setting::TMPProxy).Set(withoutPassword);
    End(IDOK);
}
