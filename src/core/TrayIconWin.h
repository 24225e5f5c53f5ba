#pragma once
// The agent's one icon in the notification area: added once, then changed (a still
// picture, an animation of frames, a tooltip) and finally removed. The pictures belong to
// the caller, who keeps them for as long as the icon may show them. The icon asks the shell
// for version 3 of its notifications, which adds those of the keyboard and keeps the
// callback's layout: wParam the icon's id, lParam the mouse message or notification.
#include "CString.h"
#include "contract.h"

#include <vector>
#include <windows.h>
#include <shellapi.h>

enum class TrayMenu { None, Entries, Commands };

class CTrayIcon {
public:
    static constexpr UINT kIconId = ZV_TRAY_ICON_ID;
    static constexpr UINT kFrameMs = 500;

    CTrayIcon();
    CTrayIcon(const CTrayIcon&) = delete;
    CTrayIcon& operator=(const CTrayIcon&) = delete;

    // Adds the icon for window with a still picture; animation frames run on timer 104 of
    // that window.
    void Add(HWND window, HICON icon, const CString& tip);
    // Shows one still picture and stops any animation.
    void SetIcon(HICON icon);
    // Cycles through frames every 500 ms, starting with the first at once. A running
    // animation keeps its timer and restarts with the new frames.
    void Animate(const std::vector<HICON>& frames);
    // The handler of timer 104.
    void NextFrame();
    // At most 63 characters are shown; a longer text is cut.
    void SetTip(const CString& tip);
    // Stops the animation and deletes the icon.
    void Remove();
    // The shell's taskbar was recreated: adds the icon again as it was.
    void AddAgain();

    // The menu a callback asks for: a left button-up, NIN_SELECT (Enter on an icon chosen
    // with the mouse) or NIN_KEYSELECT (Enter or Space) the entries; a right button-up or
    // WM_CONTEXTMENU (Shift+F10, the menu key) the commands.
    static TrayMenu MenuAskedFor(UINT notification);

    HICON Icon() const { return m_data.hIcon; }
    CString Tip() const { return m_data.szTip; }
    int FrameCount() const { return m_frameCount; }
    int FrameIndex() const { return m_frameIndex; }
    bool Animating() const { return m_animTimer != 0; }
    // The structure handed to the shell, in its second form (488 bytes in a 32-bit program),
    // the first that can ask for a version.
    const NOTIFYICONDATAA& Data() const { return m_data; }
    // Whether the shell accepted the last change.
    bool LastCallSucceeded() const { return m_lastCallSucceeded; }
    // Whether the shell accepted version 3 when the icon was last added.
    bool VersionAccepted() const { return m_versionAccepted; }

private:
    void Notify(DWORD message, UINT flags);
    void AddToShell();
    void StopAnimation();

    NOTIFYICONDATAA m_data;
    std::vector<HICON> m_frames;
    int m_frameCount = 0;
    int m_frameIndex = 0;
    UINT_PTR m_animTimer = 0;
    bool m_lastCallSucceeded = false;
    bool m_versionAccepted = false;
};
