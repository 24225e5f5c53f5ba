#include "DataExchangeWin.h"

#include "DecimalNumber.h"

#include <cstring>

namespace {

// The resource type that carries a dialog template's initialisation data.
const WORD kDlgInitType = 240;
// The add-string messages as the initialisation data numbers them (16-bit values).
const WORD kDlgInitListAddString = 0x0401;
const WORD kDlgInitComboAddString = 0x0403;

bool IsDropDownList(HWND combo) {
    return (GetWindowLongA(combo, GWL_STYLE) & 3) == CBS_DROPDOWNLIST;
}

CString SelectedComboText(HWND combo) {
    CString text;
    const LRESULT index = SendMessageA(combo, CB_GETCURSEL, 0, 0);
    if (index == CB_ERR)
        return text;
    const LRESULT length = SendMessageA(combo, CB_GETLBTEXTLEN, index, 0);
    if (length == CB_ERR || length <= 0)
        return text;
    char* buffer = text.GetBuffer(static_cast<int>(length) + 1);
    const LRESULT copied =
        SendMessageA(combo, CB_GETLBTEXT, index, reinterpret_cast<LPARAM>(buffer));
    text.ReleaseBuffer(copied > 0 ? static_cast<int>(copied) : 0);
    return text;
}

CString TextOf(HWND control) {
    CString text;
    const int length = control ? GetWindowTextLengthA(control) : 0;
    if (length <= 0)
        return text;
    char* buffer = text.GetBuffer(length + 1);
    const int copied = GetWindowTextA(control, buffer, length + 1);
    text.ReleaseBuffer(copied > 0 ? copied : 0);
    return text;
}

} // namespace

HWND CDataExchange::Control(int id) const {
    return ::GetDlgItem(m_dialog.m_hWnd, id);
}

void CDataExchange::FailNotAnInteger(int id) {
    m_dialog.OnNotAnInteger(id);
    Fail(id);
}

void CDataExchange::Fail(int id) {
    m_failed = true;
    const HWND control = Control(id);
    if (!control)
        return;
    SetFocus(control);
    SendMessageA(control, EM_SETSEL, 0, -1);
}

CString GetControlText(HWND dialog, int id) {
    return TextOf(::GetDlgItem(dialog, id));
}

void DDX_Text(CDataExchange& dx, int id, CString& value) {
    const HWND control = dx.Control(id);
    if (dx.Failed() || !control)
        return;
    if (dx.m_bSaveAndValidate)
        value = TextOf(control);
    else
        SetWindowTextA(control, value);
}

void DDX_Text(CDataExchange& dx, int id, int& value) {
    const HWND control = dx.Control(id);
    if (dx.Failed() || !control)
        return;
    if (!dx.m_bSaveAndValidate) {
        CString text;
        text.Format("%d", value);
        SetWindowTextA(control, text);
        return;
    }
    if (!ParseWholeNumber(TextOf(control), value))
        dx.FailNotAnInteger(id);
}

void DDX_Check(CDataExchange& dx, int id, int& value) {
    const HWND control = dx.Control(id);
    if (dx.Failed() || !control)
        return;
    if (dx.m_bSaveAndValidate)
        value = static_cast<int>(SendMessageA(control, BM_GETCHECK, 0, 0));
    else
        SendMessageA(control, BM_SETCHECK, static_cast<WPARAM>(value), 0);
}

void DDX_CBString(CDataExchange& dx, int id, CString& value) {
    const HWND control = dx.Control(id);
    if (dx.Failed() || !control)
        return;
    const bool dropDownList = IsDropDownList(control);
    if (dx.m_bSaveAndValidate) {
        value = dropDownList ? SelectedComboText(control) : TextOf(control);
        return;
    }
    // The list's own prefix search would take an empty text as a prefix of the first entry;
    // an empty value means that nothing is chosen.
    if (value.IsEmpty())
        SendMessageA(control, CB_SETCURSEL, static_cast<WPARAM>(-1), 0);
    else
        SendMessageA(control, CB_SELECTSTRING, static_cast<WPARAM>(-1),
                     reinterpret_cast<LPARAM>(value.c_str()));
    if (!dropDownList)
        SetWindowTextA(control, value);
}

bool CDataDialog::UpdateData(bool saveAndValidate) {
    CDataExchange dx(*this, saveAndValidate);
    DoDataExchange(dx);
    return !dx.Failed();
}

void CDataDialog::OnNotAnInteger(int) {
    const HWND owner = GetAncestor(m_hWnd, GA_ROOT);
    MessageBoxA(owner, "Please enter an integer.", nullptr, MB_OK | MB_ICONEXCLAMATION);
}

BOOL CDataDialog::OnInitDialog() {
    ExecuteDlgInit();
    UpdateData(false);
    return TRUE;
}

void CDataDialog::ExecuteDlgInit() {
    const HINSTANCE module = GetModuleHandleA(nullptr);
    const HRSRC found =
        FindResourceA(module, MAKEINTRESOURCEA(m_templateId), MAKEINTRESOURCEA(kDlgInitType));
    const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* data = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
    if (!data)
        return;
    const BYTE* const end = data + SizeofResource(module, found);
    // Records: control id (WORD), message (WORD), data length (DWORD), data; a zero id ends.
    const size_t headerSize = 2 * sizeof(WORD) + sizeof(DWORD);
    while (static_cast<size_t>(end - data) >= headerSize) {
        WORD id, message;
        DWORD length;
        std::memcpy(&id, data, sizeof id);
        std::memcpy(&message, data + 2, sizeof message);
        std::memcpy(&length, data + 4, sizeof length);
        if (id == 0)
            return;
        data += headerSize;
        if (length > static_cast<size_t>(end - data))
            return;
        // The text must end inside its record, or it would be read past the resource.
        const auto* text = reinterpret_cast<const char*>(data);
        const bool terminated = length > 0 && std::memchr(text, '\0', length) != nullptr;
        const HWND control = GetDlgItem(id);
        if (terminated && control && message == kDlgInitComboAddString)
            SendMessageA(control, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        else if (terminated && control && message == kDlgInitListAddString)
            SendMessageA(control, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
        data += length;
    }
}
