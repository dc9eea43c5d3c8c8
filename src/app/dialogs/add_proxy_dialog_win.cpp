#include "app/dialogs/add_proxy_dialog_win.h"

#include "app/dialogs/add_proxy_dialog_res.h"
#include "app/proxy_address_rule.h"
#include "app/ui/data_exchange_win.h"
#include "app/ui/message_box.h"
#include "settings/reg_value.h"
#include "settings/settings_names.h"

AddProxyDialog::AddProxyDialog() : Dialog(IDD_ADD_PROXY) {}

bool AddProxyDialog::OnInitDialog() {
    ui::SetFieldText(Hwnd(), IDC_PROXY_ADDRESS, proxyText_);
    ui::LimitFieldText(Hwnd(), IDC_PROXY_ADDRESS, kMaxProxyLength);
    okButton_.Attach(IDOK, Hwnd());
    cancelButton_.Attach(IDCANCEL, Hwnd());
    return true;
}

void AddProxyDialog::OnOK() {
    proxyText_ = ui::GetFieldText(Hwnd(), IDC_PROXY_ADDRESS);
    if (!IsAcceptableProxyText(proxyText_)) {
        ShowMessage(Hwnd(), "Please enter a valid proxy address", "Veilgate");
        return;
    }
    RegStringValue(setting::TMPProxy).Set(proxyText_);
    End(IDOK);
}

HBRUSH AddProxyDialog::OnCtlColor(HDC dc, HWND control, UINT message) {
    return colors_.OnCtlColor(dc, message);
}
