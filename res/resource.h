// Resource identifiers shared by the program and every backend's resources.
#pragma once

#define IDD_ABOUTBOX 100
#define IDP_OLE_INIT_FAILED 100
#define IDS_ABOUTBOX 101
#define IDD_MORAVEL_PLAYER_DIALOG 102
#define IDP_SOCKETS_INIT_FAILED 103
#define IDR_MAINFRAME 128
#define IDD_WMP_DIALOG 130
#define IDB_CLOSE 136
#define IDB_CLOSE_SEL 137
#define IDB_TITLE 139
#define IDC_TITLE_IMAGE 139
#define IDB_MINIMIZE 141
#define IDB_MINIMIZE_SEL 142
#define IDC_WEB_BROWSER 1001
#define IDC_WMP_PLAYER 100001
#define IDM_ABOUTBOX 0x0010
