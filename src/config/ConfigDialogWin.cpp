#include "ConfigDialogWin.h"

#include "AgentSettings.h"
#include "ResString.h"

void OpenHelpPage(PageOpener openPage) {
    openPage(LoadResString(IDS_HELP_URL));
}

CConfigDialog::CConfigDialog(const char* caption, HWND parent, UINT startPage, PageOpener openPage)
    : CPropertySheet(caption, parent, startPage),
      m_accelerators(
          LoadAcceleratorsA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(IDR_CONFIG_ACCEL))),
      m_openPage(openPage) {}

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
    OpenHelpPage(m_openPage);
    return FALSE;
}

void CConfigDialog::OnHelpButton() {
    OpenHelpPage(m_openPage);
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
