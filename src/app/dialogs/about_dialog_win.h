// "About Veilgate": the program's icon, version and build.
#pragma once

#include "ui/dialog_win.h"

class AboutDialog : public ui::Dialog {
public:
    AboutDialog();

protected:
private:
};
