// "Add New Proxy" (dialog 129): controls 1012.
#pragma once

#define IDD_ADD_PROXY 129
#define IDC_PROXY_ADDRESS 1012
