#pragma once
// The agent's hidden main window: a modal dialog that is never seen. It owns the settings,
// the tray icon, the popup and the state machine, turns window messages into the state
// machine's events and carries out what the state machine asks for.
#include "AgentController.h"
#include "AgentMessagesWin.h"
#include "AgentServicesWin.h"
#include "AgentSettings.h"
#include "IconWin.h"
#include "TrayIconWin.h"
#include "WndWin.h"
#include "resource.h"

#include <memory>
#include <utility>
#include <vector>

class CAgentDialog : public CDialog, private IAgentHost {
public:
    explicit CAgentDialog(IAgentServices& services);
    ~CAgentDialog() override;

    const CAgentController& Controller() const { return m_controller; }
    const CTrayIcon& Tray() const { return m_tray; }
    // The settings while the window runs; null once it has closed.
    CAgentSettings* Settings() const { return m_settings.get(); }
    // The URLs behind the items of the entries menu built last.
    const std::vector<CString>& KeptUrls() const { return m_keptUrls; }

    BEGIN_MSG_MAP(CAgentDialog, CDialog)
    MESSAGE_HANDLER(WM_TRAY_NOTIFY, OnTrayNotify)
    MESSAGE_HANDLER(WM_POLL_DONE, OnPollDone)
    MESSAGE_HANDLER(WM_SOUND_DONE, OnSoundDone)
    MESSAGE_HANDLER(WM_POWERBROADCAST, OnPowerBroadcast)
    MESSAGE_HANDLER(WM_WTSSESSION_CHANGE, OnSessionChange)
    MESSAGE_HANDLER(m_taskbarCreated, OnTaskbarCreated)
    MESSAGE_HANDLER(m_handleCountQuery, OnHandleCountQuery)
    COMMAND_ID_HANDLER(ID_TASKBAR_ABOUT, OnAbout)
    COMMAND_ID_HANDLER(ID_TASKBAR_CONFIGURE, OnConfigure)
    COMMAND_ID_HANDLER(ID_TASKBAR_EXIT, OnExit)
    COMMAND_ID_HANDLER(ID_TASKBAR_DISABLE, OnDisable)
    COMMAND_ID_HANDLER(ID_TASKBAR_REFRESH, OnRefresh)
    COMMAND_ID_HANDLER(ID_SITE_HOME, OnSiteHome)
    COMMAND_RANGE_HANDLER(ID_NEWS_ENTRY_FIRST, ID_NEWS_ENTRY_FIRST + kMostEntryItems - 1,
                          OnNewsEntry)
    MSG_WM_TIMER(OnTimer)
    MESSAGE_HANDLER(WM_WINDOWPOSCHANGING, OnWindowPosChanging)
    MSG_WM_CLOSE(OnClose)
    MESSAGE_HANDLER(WM_ENDSESSION, OnEndSession)
    MSG_WM_DESTROY(OnDestroy)
    MSG_WM_HELP(OnHelp)
    END_MSG_MAP()

protected:
    // Shows a tray menu at the cursor and returns when it has closed; the chosen command
    // arrives afterwards as WM_COMMAND.
    virtual void TrackTrayMenu(HMENU popup);

    BOOL OnInitDialog() override;
    void OnOK() override;
    void OnCancel() override;

private:
    // Command ids 106 to 115 are reserved for the entries.
    static constexpr int kMostEntryItems = 10;

    LRESULT OnTrayNotify(WPARAM iconId, LPARAM mouseMessage);
    LRESULT OnPollDone(WPARAM, LPARAM result);
    LRESULT OnSoundDone(WPARAM, LPARAM);
    LRESULT OnPowerBroadcast(WPARAM event, LPARAM);
    LRESULT OnSessionChange(WPARAM, LPARAM);
    LRESULT OnTaskbarCreated(WPARAM, LPARAM);
    LRESULT OnHandleCountQuery(WPARAM kind, LPARAM);
    void OnAbout();
    void OnConfigure();
    void OnExit() { m_controller.RequestExit(); }
    void OnDisable() { m_controller.ToggleDisabled(); }
    void OnRefresh() { m_controller.Refresh(); }
    void OnSiteHome();
    void OnNewsEntry(UINT id);
    void OnTimer(UINT_PTR id);
    LRESULT OnWindowPosChanging(WPARAM, LPARAM windowPos);
    void OnClose();
    LRESULT OnEndSession(WPARAM ending, LPARAM);
    void SaveState();
    void OnDestroy();
    BOOL OnHelp(HELPINFO*);

    void PrepareCommandMenu(HMENU popup);
    void AddNewsItems(HMENU popup);
    HICON TrayPicture(unsigned id) const;
    // Runs a nested modal window (sheet or box); a close asked for meanwhile waits for it.
    template <typename Run> void RunNestedModal(Run run);

    // IAgentHost
    bool ArmPollTimer(unsigned milliseconds) override;
    void StopPollTimer() override;
    bool StartWorker() override;
    void ShowTray(TrayDisplay display) override;
    void ShowPopup() override;
    void PlaySystemSound() override;
    bool PlayUserSound(const CString& path) override;
    void RefuseBeep() override;
    void PostClose() override;
    CString LocalTime() override;
    bool UserIsBusy() override { return m_services.UserIsBusy(); }
    void WatchForUserReturn(bool watch) override;

    IAgentServices& m_services;
    CAgentController m_controller;
    std::unique_ptr<CAgentSettings> m_settings;
    CIcon m_appIconBig;
    CIcon m_appIconSmall;
    // Every tray picture, loaded once so that state changes do not pile up icon handles.
    std::vector<std::pair<unsigned, CIcon>> m_trayPictures;
    CTrayIcon m_tray;
    std::vector<CString> m_keptUrls;
    std::unique_ptr<IAlertPopup> m_popup;
    const UINT m_taskbarCreated;
    const UINT m_handleCountQuery;
    // The shell follows a click's button-up with NIN_SELECT or WM_CONTEXTMENU, which reaches
    // the window while the click's menu is open; it must not open a second one.
    bool m_trayMenuOpen = false;
    int m_nestedModals = 0;
    bool m_closeWaiting = false;
};
