#include "IconWin.h"

#include "SystemLibraryWin.h"

#include <commctrl.h>

namespace {

// Whether icon group id holds an image of exactly size pixels. The group resource is a
// 6-byte header (its count at offset 4) and 14-byte entries, each starting with the width.
bool GroupHasImageOfSize(UINT id, int size) {
    const HMODULE module = GetModuleHandleA(nullptr);
    const HRSRC found = FindResourceA(module, MAKEINTRESOURCEA(id), RT_GROUP_ICON);
    const HGLOBAL loaded = found ? LoadResource(module, found) : nullptr;
    const auto* group = static_cast<const BYTE*>(loaded ? LockResource(loaded) : nullptr);
    const DWORD length = found ? SizeofResource(module, found) : 0;
    if (!group || length < 6)
        return false;
    const int count = group[4] | group[5] << 8;
    for (int i = 0; i < count && 6u + 14u * (i + 1) <= length; ++i) {
        if (group[6 + 14 * i] == size)
            return true;
    }
    return false;
}

} // namespace

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

CIcon CIcon::LoadSmall(UINT id) {
    const int size = GetSystemMetrics(SM_CXSMICON);
    if (!GroupHasImageOfSize(id, size)) {
        // comctl32 is loaded only here: the idle agent has no other use for it.
        const auto loadMetric =
            SystemFunctionOf<decltype(LoadIconMetric)>("comctl32.dll", "LoadIconMetric");
        HICON icon = nullptr;
        if (loadMetric && SUCCEEDED(loadMetric(GetModuleHandleA(nullptr), MAKEINTRESOURCEW(id),
                                               LIM_SMALL, &icon)))
            return CIcon(icon);
    }
    return Load(id, size);
}

void CIcon::Release() {
    if (!m_icon)
        return;
    DestroyIcon(m_icon);
    CountHandleReleased(HandleKind::Icon);
    m_icon = nullptr;
}
