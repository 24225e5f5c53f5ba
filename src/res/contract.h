#pragma once
// What programs outside the agent rely on: the installer, the scripts and tools that drive a
// running agent, and the system tests. The build writes their copies of these values (and of
// the command ids in resource.h) into <build>/generated/agent_contract.{py,sh,nsh}, without
// the ZV_ prefix, so each value stays a #define of a number or of string literals and names
// defined above it, on one line. The command ids stay in resource.h.

#define ZV_VERSION "1.4"
#define ZV_PRODUCT_NAME "Zavora News Agent"
#define ZV_COMPANY "Brellin"

// The hidden main window, found by its title.
#define ZV_HIDDEN_TITLE "Zavora Agent Hidden Dialog"

// The tray icon reports mouse events to the hidden window with this message (WM_USER + 2),
// its wParam the icon's id and its lParam the mouse message.
#define ZV_TRAY_MESSAGE 1026
#define ZV_TRAY_ICON_ID 102

// The hidden window answers this registered message: a wParam below ZV_QUERY_HANDLE_KINDS asks
// for the live count of one kind of the objects the agent owns, ZV_QUERY_POLL_RUNNING whether
// a poll runs (1 or 0), ZV_QUERY_POLL_DELAY the delay in milliseconds the poll timer was last
// armed with (0 while it is off).
#define ZV_QUERY_MESSAGE "ZavoraAgentHandleCounts"
#define ZV_QUERY_HANDLE_KINDS 7
#define ZV_QUERY_POLL_RUNNING 7
#define ZV_QUERY_POLL_DELAY 8

// The poll timer holds this delay from start-up until the first poll has reported, so a
// driver that sees another delay knows the first poll is over.
#define ZV_FIRST_POLL_DELAY_MS 1000

// The settings and the cached news list live in two keys below HKEY_CURRENT_USER.
#define ZV_REG_PRODUCT "Zavora"
#define ZV_REG_SECTION "Agent"
#define ZV_REG_SETTINGS "Settings"
#define ZV_REG_DATA "Data"
#define ZV_REG_COMPANY_KEY "SOFTWARE\\" ZV_COMPANY
#define ZV_REG_PRODUCT_KEY ZV_REG_COMPANY_KEY "\\" ZV_REG_PRODUCT
#define ZV_REG_AGENT_KEY ZV_REG_PRODUCT_KEY "\\" ZV_REG_SECTION
#define ZV_REG_SETTINGS_KEY ZV_REG_AGENT_KEY "\\" ZV_REG_SETTINGS
#define ZV_REG_DATA_KEY ZV_REG_AGENT_KEY "\\" ZV_REG_DATA

// An administrator sets settings by policy: values named as in the Settings key, in the same
// text forms, in this key below HKEY_LOCAL_MACHINE and below HKEY_CURRENT_USER, the machine's
// winning. The agent reads them and never writes them. ZV_POLICY_VALUES lists their names.
#define ZV_REG_POLICY_COMPANY_KEY "SOFTWARE\\Policies\\" ZV_COMPANY
#define ZV_REG_POLICY_KEY ZV_REG_POLICY_COMPANY_KEY "\\" ZV_REG_PRODUCT "\\" ZV_REG_SECTION
// clang-format off
#define ZV_POLICY_VALUES "urlScheme urlHost urlPort urlPath pollingDelay useProxy proxySource proxyHost proxyPort useProxyAuth authUsername authPassword alertByMessage alertBySystemSound alertByUserSound soundPath"
// clang-format on

// The most news entries the agent stores and loads back.
#define ZV_MOST_STORED_ENTRIES 100
