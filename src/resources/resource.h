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
