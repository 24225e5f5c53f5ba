#include "fw/IconWin.h"

CIcon::CIcon(HICON icon) : m_icon(icon) {
    if (m_icon)
        CountHandleCreated(HandleKind::Icon);
}

CIcon& CIcon::operator=(CIcon&& other) noexcept {
    if (this != &other) {
        Release();
        m_icon = other.m_icon;
        other.m_icon = nullptr;
    }
    return *this;
}

CIcon CIcon::Load(UINT id, int size) {
    return CIcon(static_cast<HICON>(LoadImageA(GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id),
                                               IMAGE_ICON, size, size, LR_DEFAULTCOLOR)));
}

void CIcon::Release() {
    if (!m_icon)
        return;
    DestroyIcon(m_icon);
    CountHandleReleased(HandleKind::Icon);
    m_icon = nullptr;
}
