#include "ConfigureWin.h"

#include "AgentSettings.h"
#include "ConfigDialogWin.h"
#include "ConnectPropPageWin.h"
#include "NotificationPropsPageWin.h"
#include "ResString.h"

namespace {

// The sheet on screen, if any. A second Configure while it is open would show a second
// copy of the same settings, and whichever closed last with OK would silently undo the
// other's changes; the open one is brought forward instead.
CConfigDialog* g_openSheet = nullptr;

} // namespace

bool RunConfiguration(HWND owner, CAgentSettings& settings, PageOpener openPage) {
    if (g_openSheet) {
        if (g_openSheet->m_hWnd)
            SetForegroundWindow(g_openSheet->m_hWnd);
        return false;
    }
    const CString caption = LoadResString(IDS_CONFIG_CAPTION);
    CConfigDialog sheet(caption, owner, 0, openPage);
    sheet.SetSettings(&settings);
    CConnectPropPage connection(settings, openPage);
    CNotificationPropsPage notification(settings, openPage);
    sheet.AddPage(connection);
    sheet.AddPage(notification);
    sheet.m_psh.dwFlags |= PSH_NOAPPLYNOW;
    g_openSheet = &sheet;
    const INT_PTR result = sheet.DoModal();
    g_openSheet = nullptr;
    if (result != IDOK)
        return false;
    // Pages that were never shown still hold what they took from the settings.
    WriteConnectionValues(connection.Values(), settings);
    WriteNotificationValues(notification.Values(), settings);
    settings.SaveSettings();
    // The pages wrote back what their controls showed, in their own forms; loading again
    // gives the settings the administrator sets the policy's values exactly.
    settings.LoadSettings();
    return true;
}
