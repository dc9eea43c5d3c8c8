// Which browsers besides Internet Explorer the program reconfigures. Each
// click on a box is stored at once; "Apply " and "Cancel" only close.
#pragma once

#include "ui/color_button_win.h"
#include "ui/dialog_win.h"

class BrowserConfigDialog : public ui::Dialog {
public:
    BrowserConfigDialog();

    // 1 when the box is ticked, as last exchanged with the boxes.
    int Opera() const { return opera_; }
    int Netscape() const { return netscape_; }
    int Mozilla() const { return mozilla_; }

protected:
    bool OnInitDialog() override;
    bool OnCommand(int id, int notifyCode, HWND control) override;
    void OnOK() override;

private:
    void ReadBoxes();

    int opera_ = 0;
    int netscape_ = 0;
    int mozilla_ = 0;
    ui::ColorButton applyButton_;
    ui::ColorButton cancelButton_;
};
