// "Add New Proxy": the user types a proxy of their own. On OK the text is in
// TMPProxy, where the main window picks it up.
#pragma once

#include <string>

#include "app/ui/color_button_win.h"
#include "app/ui/colors_win.h"
#include "app/ui/dialog_win.h"

class AddProxyDialog : public Dialog {
public:
    static constexpr int kMaxProxyLength = 20;

    AddProxyDialog();
    // The text as last read from the edit.
    const std::string& ProxyText() const { return proxyText_; }

protected:
    bool OnInitDialog() override;
    void OnOK() override;
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;

private:
    std::string proxyText_;
    ui::DialogColors colors_;
    ColorButton okButton_;
    ColorButton cancelButton_;
};
