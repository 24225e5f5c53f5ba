#include "config/ConfigureWin.h"

#include "config/ConfigDialogWin.h"
#include "config/ConnectPropPageWin.h"
#include "config/NotificationPropsPageWin.h"
#include "fw/ResString.h"
#include "store/AgentSettings.h"

bool RunConfiguration(HWND owner, CAgentSettings& settings) {
    const CString caption = LoadResString(IDS_CONFIG_CAPTION);
    CConfigDialog sheet(caption, owner, 0);
    sheet.SetSettings(&settings);
    CConnectPropPage connection(settings);
    CNotificationPropsPage notification(settings);
    sheet.AddPage(connection);
    sheet.AddPage(notification);
    sheet.m_psh.dwFlags |= PSH_NOAPPLYNOW;
    if (sheet.DoModal() != IDOK)
        return false;
    // Pages that were never shown still hold what they took from the settings.
    WriteConnectionValues(connection.Values(), settings);
    WriteNotificationValues(notification.Values(), settings);
    settings.SaveSettings();
    return true;
}
