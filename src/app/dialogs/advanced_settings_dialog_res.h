// "Advanced Settings Dialog" (dialog 133): controls 1033 to 1038.
#pragma once

#define IDD_ADVANCED_SETTINGS 133
#define IDC_RUN_AT_STARTUP 1033
#define IDC_LOCAL_PORT 1034
#define IDC_TEST_PORT 1035
#define IDC_APPLY 1036
#define IDC_CANCEL_SETTINGS 1037
#define IDC_CHECK_AFTER_ON 1038
