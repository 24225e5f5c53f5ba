#pragma once
// The About box: product name and version, site and owner, and how the last poll ended;
// F1 opens the help page.
#include "AgentServicesWin.h"
#include "WndWin.h"

class CAboutDialog : public CDialog {
public:
    CAboutDialog(IAgentServices& services, HWND owner, const CString& lastPoll);

    BEGIN_MSG_MAP(CAboutDialog, CDialog)
    MSG_WM_HELP(OnHelp)
    END_MSG_MAP()

protected:
    BOOL OnInitDialog() override;

private:
    BOOL OnHelp(HELPINFO*);

    IAgentServices& m_services;
    CString m_lastPoll;
};
