#pragma once
// Property sheets over PropertySheetA. A page finds its object through the lParam of its
// PROPSHEETPAGE at WM_INITDIALOG and is then an ordinary CDataDialog. The sheet runs
// modelessly inside DoModal's own message loop, so PreTranslateMessage sees every message
// first (accelerators), while the owner stays disabled as under a modal dialog. The
// sheet's window is subclassed as soon as it exists, so a derived sheet handles its
// messages with a message map like any other window.
#include "DataExchangeWin.h"

#include <commctrl.h>
#include <prsht.h>
#include <vector>

class CPropertySheet;

class CPropertyPage : public CDataDialog {
public:
    explicit CPropertyPage(UINT templateId);

    PROPSHEETPAGEA m_psp;

protected:
    // The page is being left (for another page, or for OK): its controls are read into its
    // members. False keeps the page.
    virtual bool OnKillActive() { return UpdateData(true); }
    // OK was pressed and every page let go. False refuses it and keeps the sheet open.
    virtual bool OnApply() { return true; }

    // Enter and Escape end the sheet, not the page.
    void OnOK() override {}
    void OnCancel() override {}

    bool OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // The one place where the hooks' answers become the sheet's return codes.
    LRESULT OnSheetNotify(UINT code);
    static INT_PTR CALLBACK PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    friend class CPropertySheet;
    CPropertySheet* m_sheet = nullptr; // set by AddPage
};

class CPropertySheet : public CWnd {
public:
    CPropertySheet(const char* caption, HWND parent = nullptr, UINT startPage = 0);

    // Pages are shown in the order they are added; they must outlive DoModal.
    void AddPage(CPropertyPage& page);

    // Shows the sheet and returns when it is closed: IDOK when it ended with OK, IDCANCEL
    // otherwise, -1 when it could not be made. OK is recorded from the pages' PSN_APPLY:
    // PSM_GETRESULT is documented only as what a modal sheet returns, which may be 0 for an
    // OK that changed nothing.
    INT_PTR DoModal();

    // Every message for the sheet or a window inside it comes here first; true when it was
    // handled and must not be dispatched.
    virtual bool PreTranslateMessage(MSG* message);

    // The header passed to PropertySheetA; a derived sheet may add flags before DoModal.
    PROPSHEETHEADERA m_psh;

protected:
    // The sheet window's own procedure.
    LRESULT Default() override;

private:
    friend class CPropertyPage;
    // A page answered PSN_APPLY, or was told PSN_RESET (false). The sheet ends with OK only
    // when every created page accepted; a refusal keeps it open and a later Cancel resets,
    // so the answer last recorded tells how it ended.
    void RecordApply(bool accepted) { m_applied = accepted; }

    void Attach(HWND sheet);
    void RunLoop();
    bool IsSheetMessage(const MSG& message) const;

    static int CALLBACK SheetCallback(HWND sheet, UINT message, LPARAM lParam);
    static LRESULT CALLBACK SheetProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    CString m_caption;
    std::vector<CPropertyPage*> m_pages;
    WNDPROC m_sheetProc = nullptr;
    bool m_applied = false;
};
