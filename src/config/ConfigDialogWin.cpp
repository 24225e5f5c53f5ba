#include "config/ConfigDialogWin.h"

#include "browser/BrowserWin.h"
#include "fw/ResString.h"
#include "store/AgentSettings.h"

namespace {

void LaunchBrowser(const CString& url) {
    LaunchDefaultBrowser(url);
}

HelpPageLauncher g_helpLauncher = LaunchBrowser;

} // namespace

void OpenHelpPage() {
    g_helpLauncher(LoadResString(IDS_HELP_URL));
}

HelpPageLauncher SetHelpPageLauncher(HelpPageLauncher launcher) {
    const HelpPageLauncher previous = g_helpLauncher;
    g_helpLauncher = launcher ? launcher : LaunchBrowser;
    return previous;
}

CConfigDialog::CConfigDialog(const char* caption, HWND parent, UINT startPage)
    : CPropertySheet(caption, parent, startPage),
      m_accelerators(
          LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_CONFIG_ACCEL))) {}

bool CConfigDialog::PreTranslateMessage(MSG* message) {
    if (m_accelerators && TranslateAcceleratorA(m_hWnd, m_accelerators, message))
        return true;
    return CPropertySheet::PreTranslateMessage(message);
}

void CConfigDialog::OnShowWindow(BOOL show, UINT) {
    Default();
    if (show)
        CenterWindow();
}

BOOL CConfigDialog::OnHelpInfo(HELPINFO*) {
    OpenHelpPage();
    return FALSE;
}

void CConfigDialog::OnResetMarkers() {
    if (!m_settings)
        return;
    m_settings->epoch = "~";
    m_settings->lastModified = "@";
    m_settings->StoreEpoch(m_settings->epoch);
    m_settings->StoreLastModified(m_settings->lastModified);
    MessageBoxA(m_hWnd, "Timestamp and Epoch Reset", "Easter Egg", MB_OK);
}
