// The proxy evaluation dialog (dialog 130): controls 1013 to 1017.
#pragma once

#define IDD_PROXY_EVALUATION 130
#define IDC_PROXY_DETAILS 1013
#define IDC_TASK_LIST 1014
#define IDC_EVALUATION_DONE 1015
#define IDC_START_TESTING 1016
#define IDC_TEST_PROGRESS 1017
