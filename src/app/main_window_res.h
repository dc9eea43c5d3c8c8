// The main window (dialog 102) and its tray menu (136).
#pragma once

#define IDD_MAIN_WINDOW 102
#define IDS_ABOUT_ITEM 101
#define IDR_TRAY_MENU 136

#define IDC_ENABLE 1000
#define IDC_PROXY_SELECTOR 1001
#define IDC_TESTED_PROXIES 1002
#define IDC_ADD_PROXY 1004
#define IDC_REFRESH_LIST 1005
#define IDC_WHAT_IS_MY_IP 1006
#define IDC_ROTATION 1063
#define IDC_MINUTES 1064
#define IDC_MINUTES_LABEL 1066
#define IDC_STATUS_LINE 1067
#define IDC_READ_MORE 1079

// Toolbar commands.
#define IDT_ADVANCED_SETTINGS 102
#define IDT_ONLINE_PRIVACY 104
#define IDT_BROWSERS 105
#define IDT_HELP 107

// Tray menu commands.
#define ID_TRAY_EXIT 32772
#define ID_TRAY_CONFIGURATION 32773
