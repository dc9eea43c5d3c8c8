#include "app/dialogs/about_dialog_win.h"

#include "app/dialogs/about_dialog_res.h"

AboutDialog::AboutDialog() : Dialog(IDD_ABOUT) {}

HBRUSH AboutDialog::OnCtlColor(HDC dc, HWND control, UINT message) {
    return colors_.OnCtlColor(dc, message);
}
