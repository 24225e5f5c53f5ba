#include "PolicyLocksWin.h"

#include "resource.h"

void CPolicyLocks::Show(HWND page) const {
    if (m_locked.IsEmpty())
        return;
    for (int id = ControlSet::kFirstControl; id <= ControlSet::kLastControl; ++id) {
        if (m_locked.Contains(id))
            EnableWindow(GetDlgItem(page, id), FALSE);
    }
    ShowWindow(GetDlgItem(page, IDC_POLICY_NOTE), SW_SHOWNA);
}

void CPolicyLocks::Enable(HWND page, int id, bool enable) const {
    EnableWindow(GetDlgItem(page, id), enable && !m_locked.Contains(id) ? TRUE : FALSE);
}
