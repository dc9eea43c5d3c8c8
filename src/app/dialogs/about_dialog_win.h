// "About Veilgate": the program's icon, version and build.
#pragma once

#include "app/ui/colors_win.h"
#include "app/ui/dialog_win.h"

class AboutDialog : public Dialog {
public:
    AboutDialog();

protected:
    HBRUSH OnCtlColor(HDC dc, HWND control, UINT message) override;

private:
    ui::DialogColors colors_;
};
