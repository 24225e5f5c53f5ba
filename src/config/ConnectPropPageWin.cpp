#include "ConnectPropPageWin.h"

#include "ConfigDialogWin.h"

namespace {

const int kProxyGroup[] = {IDC_PROXY_HOST, IDC_PROXY_PORT, IDC_PROXY_PORT_LABEL,
                           IDC_PROXY_HOST_LABEL, IDC_USE_PROXY_AUTH};
const int kAuthGroup[] = {IDC_USERNAME, IDC_PASSWORD, IDC_PASSWORD_LABEL, IDC_USERNAME_LABEL};

template <size_t N>
void EnableControls(HWND page, const CPolicyLocks& locks, const int (&ids)[N], bool enable) {
    for (const int id : ids)
        locks.Enable(page, id, enable);
}

} // namespace

void CConnectPropPage::DoDataExchange(CDataExchange& dx) {
    DDX_CBString(dx, IDC_POLL_INTERVAL, m_values.pollText);
    DDX_Check(dx, IDC_USE_PROXY, m_values.proxyOn);
    DDX_Text(dx, IDC_PROXY_PORT, m_values.proxyPort);
    DDX_Text(dx, IDC_PROXY_HOST, m_values.proxyHost);
    DDX_Check(dx, IDC_USE_PROXY_AUTH, m_values.proxyAuthOn);
    DDX_Text(dx, IDC_PASSWORD, m_values.password);
    DDX_Text(dx, IDC_USERNAME, m_values.userName);
}

BOOL CConnectPropPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    const bool proxyOn = m_values.proxyOn > 0;
    EnableProxyGroup(proxyOn);
    EnableAuthGroup(proxyOn && m_values.proxyAuthOn > 0);
    m_locks.Show(m_hWnd);
    return TRUE;
}

void CConnectPropPage::OnNotAnInteger(int id) {
    EnableWindow(GetDlgItem(id), TRUE);
    CPropertyPage::OnNotAnInteger(id);
}

void CConnectPropPage::OnProxyClicked() {
    if (!IsChecked(IDC_USE_PROXY)) {
        EnableProxyGroup(false);
        EnableAuthGroup(false);
        return;
    }
    EnableProxyGroup(true);
    if (IsChecked(IDC_USE_PROXY_AUTH))
        EnableAuthGroup(true);
}

void CConnectPropPage::OnProxyAuthClicked() {
    EnableAuthGroup(IsChecked(IDC_USE_PROXY_AUTH));
}

BOOL CConnectPropPage::OnHelpInfo(HELPINFO*) {
    OpenHelpPage(m_openPage);
    return FALSE;
}

bool CConnectPropPage::IsChecked(int id) const {
    return IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED;
}

void CConnectPropPage::EnableProxyGroup(bool enable) {
    EnableControls(m_hWnd, m_locks, kProxyGroup, enable);
}

void CConnectPropPage::EnableAuthGroup(bool enable) {
    EnableControls(m_hWnd, m_locks, kAuthGroup, enable);
}
