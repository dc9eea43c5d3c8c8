// The browser configuration dialog (dialog 131): controls 1075 to 1078.
#pragma once

#define IDD_BROWSER_CONFIG 131
#define IDC_CONFIGURE_IE 1075
#define IDC_CONFIGURE_OPERA 1076
#define IDC_CONFIGURE_NETSCAPE 1077
#define IDC_CONFIGURE_MOZILLA 1078
