// Control identifiers of setup's dialogs (shared by the resource script and the code).
#pragma once

#define IDC_LOCATION 102
#define IDC_NAME 106
#define IDC_COMPANY 107
#define IDC_BAR 1004
#define IDC_FILE 1009
#define IDC_WELCOME 1010
#define IDC_REBOOT_HEADING 1011
#define IDC_FAIL_HEADING 1014
#define IDC_FAIL_TEXT 1016
#define IDC_REBOOT_TEXT 1017
