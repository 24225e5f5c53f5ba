#pragma once
// An owned icon handle, destroyed with its owner and counted while it lives.
#include "HandleCount.h"

#include <windows.h>

class CIcon {
public:
    CIcon() = default;
    ~CIcon() { Release(); }
    CIcon(CIcon&& other) noexcept : m_icon(other.m_icon) { other.m_icon = nullptr; }
    CIcon& operator=(CIcon&& other) noexcept;
    CIcon(const CIcon&) = delete;
    CIcon& operator=(const CIcon&) = delete;

    // Loads icon resource id of this module at the given size with the default colours.
    static CIcon Load(UINT id, int size);
    // Loads icon resource id at the size of the system's small icons (the tray's). When the
    // group has no image of that size, LoadIconMetric, where the system has it, scales a
    // larger one down with a better filter than LoadImage.
    static CIcon LoadSmall(UINT id);

    HICON Get() const { return m_icon; }
    explicit operator bool() const { return m_icon != nullptr; }
    void Release();

private:
    explicit CIcon(HICON icon);
    HICON m_icon = nullptr;
};
