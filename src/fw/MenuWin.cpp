#include "MenuWin.h"

CMenu::CMenu(HMENU menu) : m_menu(menu) {
    if (m_menu)
        CountHandleCreated(HandleKind::Menu);
}

CMenu CMenu::Load(UINT id) {
    return CMenu(LoadMenuA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id)));
}

void CMenu::Release() {
    if (!m_menu)
        return;
    DestroyMenu(m_menu);
    CountHandleReleased(HandleKind::Menu);
    m_menu = nullptr;
}
