// Resource numbers of the program's pictures (shared by its windows).
#pragma once

#define IDI_VEILGATE 128
// The main window's background, tiled: 541 x 304 pixels.
#define IDB_BACKGROUND 135
// The proxy selector's two 21-pixel images (43 x 12): 0 a plain proxy,
// 1 a proxy that takes POST requests. Magenta, RGB(255, 0, 255), is
// transparent.
#define IDB_SELECTOR 137
// Toolbar strips of four 97 x 30 buttons (settings, privacy, browsers,
// help), normal and hot. Magenta, RGB(255, 0, 255), is transparent.
#define IDB_TOOLBAR 138
#define IDB_TOOLBAR_HOT 139
// The pointing hand over link labels.
#define IDC_HAND_POINTER 150
