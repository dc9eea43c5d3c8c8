#include "app/dialogs/about_dialog_win.h"

#include "app/dialogs/about_dialog_res.h"

AboutDialog::AboutDialog() : Dialog(IDD_ABOUT) {
    UseDialogColors();
}
