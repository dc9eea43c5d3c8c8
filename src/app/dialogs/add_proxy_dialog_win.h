// "Add New Proxy": the user types a proxy of their own. On OK the text is in
// TMPProxy, where the main window picks it up.
#pragma once

#include <string>

#include "ui/color_button_win.h"
#include "ui/dialog_win.h"

class AddProxyDialog : public ui::Dialog {
public:
    static constexpr int MaxProxyLength = 20;

    AddProxyDialog();
    // The text as last read from the edit.
    const std::string& ProxyText() const { return proxyText_; }

protected:
    bool OnInitDialog() override;
    void OnOK() override;

private:
    std::string proxyText_;
    ui::ColorButton okButton_;
    ui::ColorButton cancelButton_;
};
