#include "PropertySheetWin.h"

#include "SystemLibraryWin.h"

namespace {

// Creates the sheet's window through the common controls, which are loaded only now.
INT_PTR CreateSheet(PROPSHEETHEADERA& header) {
    const auto initControls =
        SystemFunctionOf<decltype(InitCommonControlsEx)>("comctl32.dll", "InitCommonControlsEx");
    const auto propertySheet =
        SystemFunctionOf<decltype(PropertySheetA)>("comctl32.dll", "PropertySheetA");
    if (!initControls || !propertySheet)
        return -1;
    const INITCOMMONCONTROLSEX controls = {sizeof(controls), ICC_WIN95_CLASSES};
    initControls(&controls);
    return propertySheet(&header);
}

// The sheet whose window PropertySheetA is creating on this thread: its callback carries no
// pointer. A thread-local slot of the system's own (the compiler's thread_local would bring
// a thread library along).
const DWORD kSheetBeingMade = TlsAlloc();

const char kSheetProperty[] = "ZvPropertySheet";

} // namespace

CPropertyPage::CPropertyPage(UINT templateId) : CDataDialog(templateId) {
    m_psp = {};
    m_psp.dwSize = sizeof(m_psp);
    m_psp.dwFlags = PSP_DEFAULT | PSP_HASHELP;
    m_psp.hInstance = GetModuleHandleA(nullptr);
    m_psp.pszTemplate = MAKEINTRESOURCEA(templateId);
    m_psp.pfnDlgProc = PageProc;
    m_psp.lParam = reinterpret_cast<LPARAM>(static_cast<CDialog*>(this));
}

bool CPropertyPage::OnWndMsg(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    if (message == WM_NOTIFY) {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        const UINT code = header->code;
        if (code == PSN_KILLACTIVE || code == PSN_APPLY || code == PSN_RESET) {
            result = OnSheetNotify(code);
            return true;
        }
    }
    return CDataDialog::OnWndMsg(message, wParam, lParam, result);
}

LRESULT CPropertyPage::OnSheetNotify(UINT code) {
    if (code == PSN_KILLACTIVE)
        return OnKillActive() ? FALSE : TRUE;
    // Cancel, Escape and the close button tell every created page PSN_RESET.
    if (code == PSN_RESET) {
        if (m_sheet)
            m_sheet->RecordApply(false);
        return 0;
    }
    const bool accepted = OnApply();
    if (m_sheet)
        m_sheet->RecordApply(accepted);
    return accepted ? PSNRET_NOERROR : PSNRET_INVALID_NOCHANGEPAGE;
}

INT_PTR CALLBACK CPropertyPage::PageProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    // The sheet hands each page a copy of its PROPSHEETPAGE, whose lParam is the page.
    if (message == WM_INITDIALOG)
        lParam = reinterpret_cast<const PROPSHEETPAGEA*>(lParam)->lParam;
    return DialogProc(window, message, wParam, lParam);
}

CPropertySheet::CPropertySheet(const char* caption, HWND parent, UINT startPage)
    : m_caption(caption) {
    m_psh = {};
    m_psh.dwSize = sizeof(m_psh);
    m_psh.dwFlags = PSH_PROPSHEETPAGE | PSH_HASHELP;
    m_psh.hwndParent = parent;
    m_psh.hInstance = GetModuleHandleA(nullptr);
    m_psh.nStartPage = startPage;
}

void CPropertySheet::AddPage(CPropertyPage& page) {
    page.m_sheet = this;
    m_pages.push_back(&page);
}

INT_PTR CPropertySheet::DoModal() {
    if (m_hWnd || m_pages.empty())
        return -1;
    std::vector<PROPSHEETPAGEA> pages;
    for (const CPropertyPage* page : m_pages)
        pages.push_back(page->m_psp);
    PROPSHEETHEADERA header = m_psh;
    header.dwFlags |= PSH_PROPSHEETPAGE | PSH_MODELESS | PSH_USECALLBACK;
    header.pszCaption = m_caption;
    header.nPages = static_cast<UINT>(pages.size());
    header.ppsp = pages.data();
    header.pfnCallback = SheetCallback;

    // The owner is disabled before the sheet appears, as under a modal dialog.
    const HWND owner = m_psh.hwndParent;
    const bool disableOwner = owner && IsWindowEnabled(owner);
    if (disableOwner)
        EnableWindow(owner, FALSE);
    m_applied = false;
    TlsSetValue(kSheetBeingMade, this);
    const INT_PTR made = CreateSheet(header);
    TlsSetValue(kSheetBeingMade, nullptr);
    if (made == 0 || made == -1 || !m_hWnd) {
        if (disableOwner)
            EnableWindow(owner, TRUE);
        return -1;
    }
    RunLoop();
    const INT_PTR result = m_applied ? IDOK : IDCANCEL;
    // The owner is enabled before the sheet goes, so that it can take the activation back.
    if (disableOwner)
        EnableWindow(owner, TRUE);
    DestroyWindow();
    return result;
}

bool CPropertySheet::PreTranslateMessage(MSG*) {
    return false;
}

LRESULT CPropertySheet::Default() {
    return CallWindowProcA(m_sheetProc, m_hWnd, m_current.message, m_current.wParam,
                           m_current.lParam);
}

void CPropertySheet::Attach(HWND sheet) {
    m_hWnd = sheet;
    SetPropA(sheet, kSheetProperty, this);
    m_sheetProc = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(sheet, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(SheetProc)));
}

// A modeless sheet reports its end by having no current page any more.
void CPropertySheet::RunLoop() {
    MSG message;
    while (m_hWnd && SendMessageA(m_hWnd, PSM_GETCURRENTPAGEHWND, 0, 0)) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == -1)
            return;
        if (got == 0) {
            // The program is ending: leave the quit message for the outer loop.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        if (IsSheetMessage(message) && PreTranslateMessage(&message))
            continue;
        if (SendMessageA(m_hWnd, PSM_ISDIALOGMESSAGE, 0, reinterpret_cast<LPARAM>(&message)))
            continue;
        TranslateMessage(&message);
        DispatchMessageA(&message);
    }
}

bool CPropertySheet::IsSheetMessage(const MSG& message) const {
    return message.hwnd == m_hWnd || IsChild(m_hWnd, message.hwnd);
}

int CALLBACK CPropertySheet::SheetCallback(HWND sheet, UINT message, LPARAM) {
    auto* made = static_cast<CPropertySheet*>(TlsGetValue(kSheetBeingMade));
    if (message == PSCB_INITIALIZED && made)
        made->Attach(sheet);
    return 0;
}

LRESULT CALLBACK CPropertySheet::SheetProc(HWND window, UINT message, WPARAM wParam,
                                           LPARAM lParam) {
    auto* self = static_cast<CPropertySheet*>(GetPropA(window, kSheetProperty));
    if (!self)
        return DefWindowProcA(window, message, wParam, lParam);
    const WNDPROC original = self->m_sheetProc;
    LRESULT result = 0;
    if (!self->Dispatch(message, wParam, lParam, result))
        result = CallWindowProcA(original, window, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
        RemovePropA(window, kSheetProperty);
        self->Detach();
    }
    return result;
}
