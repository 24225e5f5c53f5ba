// The agent's application object: one agent per desktop, Winsock, and the hidden main
// window's modal run. The process ends when that run ends.
#include "AgentDialogWin.h"
#include "ClientSocket.h"
#include "DesktopServicesWin.h"
#include "ResString.h"

namespace {

class CAgentApp : public CWinApp {
public:
    BOOL InitInstance() override {
        // Another agent runs already: end silently.
        if (FindWindowA(nullptr, LoadResString(IDS_HIDDEN_TITLE)))
            return FALSE;
        StartWinsock();
        CDesktopServices services;
        CAgentDialog dialog(services);
        dialog.DoModal();
        return FALSE;
    }

    int ExitInstance() override {
        StopWinsock();
        return 0;
    }
};

CAgentApp theApp;

} // namespace
