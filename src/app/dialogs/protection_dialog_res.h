// "Check My Protection" (dialog 134): controls 1100 to 1144, a row of four
// for each item (its title, verdict, sentence and "Fix"), then the status
// line, the buttons and the box that lets "Copy" include the addresses.
#pragma once

#define IDD_PROTECTION_CHECK 134
#define IDC_ITEM_TITLE 1100
#define IDC_ITEM_VERDICT 1110
#define IDC_ITEM_SENTENCE 1120
#define IDC_ITEM_FIX 1130
#define IDC_CHECK_STATUS 1140
#define IDC_CHECK_AGAIN 1141
#define IDC_COPY_REPORT 1142
#define IDC_CLOSE_CHECK 1143
#define IDC_INCLUDE_ADDRESSES 1144
