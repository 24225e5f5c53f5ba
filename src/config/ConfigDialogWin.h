#pragma once
// The configuration sheet: a property sheet with the Connection and Notification pages, no
// Apply button, help through F1 and the Help button, and Ctrl+R to reset the news list's
// markers so that the next poll takes the server's list as new.
#include "PageOpener.h"
#include "PropertySheetWin.h"
#include "resource.h"

class CAgentSettings;

// Opens the help page (string 119). Everything in the sheet that offers help calls this.
void OpenHelpPage(PageOpener openPage);

class CConfigDialog : public CPropertySheet {
public:
    CConfigDialog(const char* caption, HWND parent, UINT startPage, PageOpener openPage);

    // The settings whose markers Ctrl+R resets; set before DoModal.
    void SetSettings(CAgentSettings* settings) { m_settings = settings; }

    // Ctrl+R is translated here, before the page's controls see the key.
    bool PreTranslateMessage(MSG* message) override;

    BEGIN_MSG_MAP(CConfigDialog, CPropertySheet)
    MSG_WM_SHOWWINDOW(OnShowWindow)
    MSG_WM_HELP(OnHelpInfo)
    COMMAND_ID_HANDLER(IDHELP, OnHelpButton)
    COMMAND_ID_HANDLER(ID_RESET_MARKERS, OnResetMarkers)
    END_MSG_MAP()

private:
    void OnShowWindow(BOOL show, UINT status);
    BOOL OnHelpInfo(HELPINFO* info);
    void OnHelpButton();
    // Sets the markers to texts no server sends ("~" and "@"), stores them at once (they
    // hold whether the sheet ends with OK or not) and says so.
    void OnResetMarkers();

    // Loaded from the resources: it needs no destroying, and without it Ctrl+R does nothing.
    HACCEL m_accelerators;
    CAgentSettings* m_settings = nullptr;
    PageOpener m_openPage;
};
