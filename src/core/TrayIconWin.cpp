#include "TrayIconWin.h"

#include "AgentMessagesWin.h"
#include "TrayState.h"

#include "resource.h"

#include <cstring>

// The second form of the structure: 488 bytes in a 32-bit program (the tests' 64-bit build
// has wider handles). Its tip holds 127 characters.
static_assert(sizeof(void*) != 4 || NOTIFYICONDATAA_V2_SIZE == 488,
              "the second form of the structure is 488 bytes");

namespace {

// The tip keeps to the 63 characters and terminator of the structure's first form, the
// longest tooltip that TrayTip composes; the second form would take 127.
constexpr int kTipCapacity = kLongestTrayTip + 1;

} // namespace

CTrayIcon::CTrayIcon() {
    std::memset(&m_data, 0, sizeof(m_data));
}

void CTrayIcon::Notify(DWORD message, UINT flags) {
    m_data.uFlags = flags;
    m_lastCallSucceeded = Shell_NotifyIconA(message, &m_data) != FALSE;
}

// The shell forgets the version when the icon goes, so it is asked for after every add.
void CTrayIcon::AddToShell() {
    Notify(NIM_ADD, NIF_MESSAGE | NIF_ICON | NIF_TIP);
    m_data.uVersion = NOTIFYICON_VERSION;
    m_versionAccepted = Shell_NotifyIconA(NIM_SETVERSION, &m_data) != FALSE;
}

void CTrayIcon::Add(HWND window, HICON icon, const CString& tip) {
    std::memset(&m_data, 0, sizeof(m_data));
    m_data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    m_data.hWnd = window;
    m_data.uID = kIconId;
    m_data.uCallbackMessage = WM_TRAY_NOTIFY;
    m_data.hIcon = icon;
    lstrcpynA(m_data.szTip, tip, kTipCapacity);
    AddToShell();
    m_animTimer = 0;
    m_frames.clear();
    m_frameCount = 0;
    m_frameIndex = 0;
}

void CTrayIcon::StopAnimation() {
    if (m_animTimer)
        KillTimer(m_data.hWnd, ID_TIMER_ANIMATE);
    m_animTimer = 0;
}

void CTrayIcon::SetIcon(HICON icon) {
    StopAnimation();
    m_frames.clear();
    m_data.hIcon = icon;
    Notify(NIM_MODIFY, NIF_ICON);
    m_frameCount = 1;
    m_frameIndex = 0;
}

void CTrayIcon::Animate(const std::vector<HICON>& frames) {
    if (frames.empty())
        return;
    m_frames = frames;
    m_frameCount = static_cast<int>(frames.size());
    m_frameIndex = m_frameCount - 1;
    NextFrame();
    if (!m_animTimer)
        m_animTimer = SetTimer(m_data.hWnd, ID_TIMER_ANIMATE, kFrameMs, nullptr);
}

void CTrayIcon::NextFrame() {
    // A tick that was already queued when the animation stopped finds no frames.
    if (m_frames.empty())
        return;
    m_frameIndex = (m_frameIndex + 1) % m_frameCount;
    m_data.hIcon = m_frames[static_cast<size_t>(m_frameIndex)];
    Notify(NIM_MODIFY, NIF_ICON);
}

void CTrayIcon::SetTip(const CString& tip) {
    lstrcpynA(m_data.szTip, tip, kTipCapacity);
    Notify(NIM_MODIFY, NIF_TIP);
}

void CTrayIcon::Remove() {
    StopAnimation();
    Notify(NIM_DELETE, 0);
}

void CTrayIcon::AddAgain() {
    AddToShell();
}

TrayMenu CTrayIcon::MenuAskedFor(UINT notification) {
    switch (notification) {
    case WM_LBUTTONUP:
    case NIN_SELECT:
    case NIN_KEYSELECT:
        return TrayMenu::Entries;
    case WM_RBUTTONUP:
    case WM_CONTEXTMENU:
        return TrayMenu::Commands;
    }
    return TrayMenu::None;
}
