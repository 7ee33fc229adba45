/* Resource and command ids of Brindlewood Utility. Plain #defines: the resource script includes
   this file too. */
#ifndef BRIND_FORMATTER_RESOURCE_IDS_H
#define BRIND_FORMATTER_RESOURCE_IDS_H

#define IDI_UTILITY 135

/* Menu MACFRMTMENU */
#define IDM_HELP_CONTENTS 9
#define IDM_FORMAT 137
#define IDM_HELP_SEARCH 140
#define IDM_EXIT 146
#define IDM_ABOUT 147
#define IDM_OPTIONS 40001

/* ABOUTBOX */
#define IDC_ABOUT_TITLE 1024
#define IDC_ABOUT_NOTE 1025
#define IDC_ABOUT_FRAME 1008
#define IDC_ABOUT_OWNER 1016
#define IDC_ABOUT_COMPANY 1018

/* ENTERNEWBOX */
#define IDC_DRIVE_BOX 1007
#define IDC_QUICK 1013
#define IDC_FULL 1014
#define IDC_LABEL 145
#define IDC_SUMMARY 1034
#define IDC_STATUS 1027
#define IDC_PROGRESS 1009

#endif
