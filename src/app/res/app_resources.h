// Resource numbers of the program's pictures (shared by its windows).
#pragma once

#define IDI_VEILGATE 128
// The main window's background, tiled: 600 x 304 pixels, wider than the
// window's client area at 100 %.
#define IDB_BACKGROUND 135
// The proxy selector's two 21-pixel images (43 x 12): 0 a plain proxy,
// 1 a proxy that takes POST requests. Magenta, RGB(255, 0, 255), is
// transparent.
#define IDB_SELECTOR 137
// Toolbar strips of four 97 x 30 buttons (settings, privacy, browsers,
// help), normal and hot. Magenta, RGB(255, 0, 255), is transparent.
#define IDB_TOOLBAR 138
#define IDB_TOOLBAR_HOT 139
// The same four pictures drawn at 150 and 200 percent: the resource number
// plus IDB_AT_150 or IDB_AT_200 (sizes scaled, rounded half up).
#define IDB_AT_150 1000
#define IDB_AT_200 2000
#define IDB_BACKGROUND_150 1135
#define IDB_SELECTOR_150 1137
#define IDB_TOOLBAR_150 1138
#define IDB_TOOLBAR_HOT_150 1139
#define IDB_BACKGROUND_200 2135
#define IDB_SELECTOR_200 2137
#define IDB_TOOLBAR_200 2138
#define IDB_TOOLBAR_HOT_200 2139
// The pointing hand over link labels.
#define IDC_HAND_POINTER 150
