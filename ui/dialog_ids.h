/* The resource and control ids of the program's dialogs. Plain macros, because the resource
   compiler reads this file too; the numbers are those the operators' tools and scripts know. */
#pragma once

/* Resources. */
#define IDD_ABOUTBOX 100
#define IDD_MAIN_DIALOG 102
#define IDR_MAINFRAME 128
#define IDD_CONFIG_DIALOG 129

/* System-menu command of the about box (the low four bits are the system's). */
#define IDM_ABOUTBOX 0x0010

/* Main window. */
#define IDC_LOG_LIST 1001
#define IDC_START 1002
#define IDC_STOP 1003
#define IDC_CONFIG 1004
#define IDC_ABOUT 1005
#define IDC_MARKET_TIME 1009

/* Configuration dialog. */
#define IDC_CFG_IP 1011
#define IDC_CFG_PORT 1012
#define IDC_CFG_SENDER 1013
#define IDC_CFG_TARGET 1014
#define IDC_CFG_PASSWORD 1015
#define IDC_CFG_HEARTBT 1016
#define IDC_CFG_VER 1018
#define IDC_CFG_BEGINTIME 1019
#define IDC_CFG_ENDTIME 1020
#define IDC_CFG_SAVEFILE 1021
#define IDC_CFG_SAVEFILEFLAG 1022
#define IDC_CFG_LOADFOLDER 1023
#define IDC_CFG_HQDBF 1025
#define IDC_CFG_SZL1 1026
#define IDC_CFG_SJSXXDBF 1027
#define IDC_CFG_WRITEINTERVAL 1028
#define IDC_CFG_WRINTERVALSLEEP 1029
#define IDC_CFG_LOSTHIGHVOL 1030
#define IDC_CFG_USEHOLIDAY 1031
#define IDC_CFG_HOLIDAY 1032
#define IDC_CFG_INDEXNAMEFILE 1033
#define IDC_CFG_SAVE 1034
#define IDC_CFG_CANCEL 1035
#define IDC_CFG_SJSZSDBF 1036
#define IDC_CFG_SJSPHHQDBF 1037
#define IDC_CFG_SJSZHHQDBF 1038
#define IDC_CFG_AUTOSTART 1039
