// Resource ids of the window tests' dialogs.
#pragma once

#define IDD_TEST_LIST_HOST 900
#define IDD_TEST_TAB_HOST 901
#define IDD_TEST_PAGE 902
#define IDC_TEST_LIST 1040
#define IDC_TEST_TAB 1039
#define IDC_TEST_PAGE_TEXT 1041
