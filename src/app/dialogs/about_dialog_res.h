// "About Veilgate" (dialog 100), reached from the main window's system menu.
#pragma once

#define IDD_ABOUT 100
#define IDM_ABOUT_BOX 0x0010
