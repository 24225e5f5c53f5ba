#pragma once
// Resource ids, one range per kind. Shared by the .rc files and the code.

// Strings (string table)
#define IDS_ABOUTBOX 101
#define IDS_TRAY_TIP 102
#define IDS_CONFIG_CAPTION 103
#define IDS_TIMER_ANIMATE 104
#define IDS_TIMER_POLL 105
#define IDS_RESERVED_EVENT 106
#define IDS_HOME_URL 107
#define IDS_APP_CAPTION 108
#define IDS_POPUP_LINE1 109
#define IDS_DEFAULT_SOUND_PATH 110
#define IDS_DEFAULT_URL_HOST 111
#define IDS_DEFAULT_URL_PORT 112
#define IDS_DEFAULT_URL_PATH 113
#define IDS_DEFAULT_PROXY_HOST 114
#define IDS_DEFAULT_PROXY_PORT 115
#define IDS_MENU_TITLE_MAX 116
#define IDS_MENU_ENTRIES_MAX 117
#define IDS_HIDDEN_TITLE 118
#define IDS_HELP_URL 119
#define IDS_VERSION 120
#define IDS_PRODUCT_NAME 121
#define IDS_TIMER_POPUP 122
#define IDS_POPUP_LINE3 123
#define IDS_POPUP_LINE2 124

// Dialog templates
#define IDD_ABOUTBOX 100
#define IDD_AGENT 102
#define IDD_CONNECTION 135
#define IDD_NOTIFICATION 136

// Menus and accelerators
#define IDR_TRAY_MENU 130
#define IDR_ENTRIES_MENU 134
#define IDR_CONFIG_ACCEL 140

// Icons
#define IDI_APP 128
#define IDI_IDLE 129
#define IDI_POLL_1 130
#define IDI_POLL_2 131
#define IDI_POLL_3 132
#define IDI_FAILED 134
#define IDI_NEW_1 135
#define IDI_NEW_2 136
#define IDI_DISABLED 139
#define IDI_SHUTTING_DOWN 140

// Bitmaps
#define IDB_POPUP 143

// Commands
#define ID_TASKBAR_ABOUT 16
#define ID_NEWS_ENTRY_FIRST 106
#define ID_TASKBAR_CONFIGURE 32773
#define ID_TASKBAR_EXIT 32774
#define ID_TASKBAR_DISABLE 32775
#define ID_SITE_HOME 32778
#define ID_TASKBAR_REFRESH 32779
#define ID_RESET_MARKERS 32780

// Timers
#define ID_TIMER_ANIMATE 104
#define ID_TIMER_POLL 105
#define ID_TIMER_POPUP 122
#define ID_TIMER_USER_RETURN 160

// Controls that code never addresses (labels, the About box's icon)
#define IDC_STATIC (-1)

// Controls of the About box (template 100)
#define IDC_ABOUT_PRODUCT 1012
#define IDC_ABOUT_LAST_POLL 1013

// Controls of both pages of the configuration sheet
#define IDC_POLICY_NOTE 1020

// Controls of the Connection page (template 135)
#define IDC_PROXY_PORT 1006
#define IDC_POLL_INTERVAL 1007
#define IDC_USE_PROXY 1008
#define IDC_PROXY_HOST 1009
#define IDC_PROXY_HOST_LABEL 1010
#define IDC_PROXY_PORT_LABEL 1011
#define IDC_USE_PROXY_AUTH 1012
#define IDC_USERNAME_LABEL 1013
#define IDC_USERNAME 1014
#define IDC_PASSWORD_LABEL 1015
#define IDC_PASSWORD 1016

// Controls of the Notification page (template 136)
#define IDC_ALERT_MESSAGE 1003
#define IDC_ALERT_USER_SOUND 1004
#define IDC_SOUND_PATH 1005
#define IDC_SOUND_BROWSE 1006
#define IDC_ALERT_SYSTEM_SOUND 1007
