#pragma once
// The Connection page: the poll interval, the proxy and the proxy's credentials. Its
// values are copies taken from the settings when the sheet is built.
#include "ConfigValues.h"
#include "PageOpener.h"
#include "PolicyLocksWin.h"
#include "PropertySheetWin.h"
#include "resource.h"

class CConnectPropPage : public CPropertyPage {
public:
    // Also removes the leading blanks of settings.proxyHost.
    CConnectPropPage(CAgentSettings& settings, PageOpener openPage)
        : CPropertyPage(IDD_CONNECTION), m_values(ReadConnectionValues(settings)),
          m_locks(LockedConnectionControls(settings)), m_openPage(openPage) {}

    // What the page holds: as constructed until the page has been shown and left.
    const ConnectionValues& Values() const { return m_values; }

    BEGIN_MSG_MAP(CConnectPropPage, CPropertyPage)
    BN_CLICKED_HANDLER(IDC_USE_PROXY, OnProxyClicked)
    BN_CLICKED_HANDLER(IDC_USE_PROXY_AUTH, OnProxyAuthClicked)
    MSG_WM_HELP(OnHelpInfo)
    END_MSG_MAP()

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;
    // The port is checked even while the proxy group is disabled. A disabled field cannot
    // take the focus, so it is enabled to let the user correct it where the prompt points.
    void OnNotAnInteger(int id) override;

private:
    void OnProxyClicked();
    void OnProxyAuthClicked();
    BOOL OnHelpInfo(HELPINFO* info);

    bool IsChecked(int id) const;
    // Disabling keeps the controls' contents: they are saved all the same.
    void EnableProxyGroup(bool enable);
    void EnableAuthGroup(bool enable);

    ConnectionValues m_values;
    CPolicyLocks m_locks;
    PageOpener m_openPage;
};
