#include "AboutDialogWin.h"

#include "ResString.h"
#include "resource.h"

CAboutDialog::CAboutDialog(IAgentServices& services, HWND owner, const CString& lastPoll)
    : CDialog(IDD_ABOUTBOX, owner), m_services(services), m_lastPoll(lastPoll) {}

BOOL CAboutDialog::OnInitDialog() {
    CenterWindow();
    const CString product = LoadResString(IDS_PRODUCT_NAME);
    SetDlgItemTextA(m_hWnd, IDC_ABOUT_PRODUCT, product + " v" + LoadResString(IDS_VERSION));
    SetWindowText("About " + product);
    SetDlgItemTextA(m_hWnd, IDC_ABOUT_LAST_POLL, m_lastPoll);
    return TRUE;
}

BOOL CAboutDialog::OnHelp(HELPINFO*) {
    m_services.LaunchBrowser(LoadResString(IDS_HELP_URL));
    return FALSE;
}
