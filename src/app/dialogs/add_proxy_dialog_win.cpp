#include "app/dialogs/add_proxy_dialog_win.h"

#include "app/dialogs/add_proxy_dialog_res.h"
#include "app/proxy_address_rule.h"
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
    RegStringValue(setting::TMPProxy).Set(proxyText_);
    End(IDOK);
}
