#pragma once
// An owned menu loaded from the resources, destroyed with its owner and counted while it
// lives. Its pop-ups belong to it.
#include "HandleCount.h"

#include <windows.h>

class CMenu {
public:
    CMenu() = default;
    ~CMenu() { Release(); }
    CMenu(const CMenu&) = delete;
    CMenu& operator=(const CMenu&) = delete;

    // Loads menu resource id of this module.
    static CMenu Load(UINT id);
    CMenu(CMenu&& other) noexcept : m_menu(other.m_menu) { other.m_menu = nullptr; }

    HMENU Get() const { return m_menu; }
    // The pop-up at position; null when there is none. Owned by this menu.
    HMENU SubMenu(int position) const { return m_menu ? GetSubMenu(m_menu, position) : nullptr; }
    explicit operator bool() const { return m_menu != nullptr; }
    void Release();

private:
    explicit CMenu(HMENU menu);
    HMENU m_menu = nullptr;
};
