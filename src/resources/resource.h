// Resource numbers of the module, shared by the resource script and the code.
#pragma once

#define IDI_VAPORIZER_EMPTY 101
#define IDI_VAPORIZER_FULL 102
#define IDI_VAPORIZER_SETTINGS 110

// The settings page.
#define IDD_SETTINGS_PAGE 2000
#define IDC_SETTINGS_TITLE 1000
#define IDC_SETTINGS_GROUP 1001
#define IDC_PASSES 1002
#define IDC_PASSES_LABEL 1003
#define IDC_SHOW_PROGRESS 1004
#define IDC_CONTEXT_MENU 1050
#define IDC_SEND_TO 1051
#define IDC_KEEP_RECEIPTS 1052

// The Emptying page.
#define IDD_EMPTYING_PAGE 2001
#define IDC_EMPTYING_GROUP 1060
#define IDC_EMPTY_AFTER 1061
#define IDC_EMPTY_AFTER_SPIN 1062
#define IDC_STORE_LIMIT 1063
#define IDC_STORE_LIMIT_SPIN 1064
#define IDC_SCHEDULED 1065
#define IDC_SCHEDULE_NOTE 1066
