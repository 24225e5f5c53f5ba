#pragma once
// The controls of a settings page whose settings the administrator sets by policy
// (ConfigValues.h finds them): they stay disabled whatever the page's own logic enables,
// and the page shows its note "Set by your administrator".
#include "ConfigValues.h"

#include <windows.h>

class CPolicyLocks {
public:
    explicit CPolicyLocks(ControlSet locked) : m_locked(locked) {}

    bool Contains(int id) const { return m_locked.Contains(id); }
    // Disables the locked controls and shows the page's note when there are any.
    void Show(HWND page) const;
    // Enables or disables a control of the page; a locked one stays disabled.
    void Enable(HWND page, int id, bool enable) const;

private:
    ControlSet m_locked;
};
