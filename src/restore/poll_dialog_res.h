// Resource numbers of Gatereset. The dialog and icon numbers are fixed; the
// control numbers below 100 are the standard button IDs.
#pragma once

#define IDI_GATERESET 128
#define IDD_POLL 102
#define IDC_POLL_TEXT 1000
