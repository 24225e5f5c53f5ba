#include "AgentDialogWin.h"

#include "AboutDialogWin.h"
#include "EntryMenu.h"
#include "HandleCount.h"
#include "MenuWin.h"
#include "ResString.h"
#include "WideTextWin.h"
#include "PollStore.h"

namespace {

UINT RegisterMessageOr(const char* name, UINT fallback) {
    const UINT message = RegisterWindowMessageA(name);
    // 0 would stand for WM_NULL, which the tray menus post to themselves.
    return message ? message : fallback;
}

} // namespace

CAgentDialog::CAgentDialog(IAgentServices& services)
    : CDialog(IDD_AGENT), m_services(services), m_controller(*this),
      m_appIconBig(CIcon::Load(IDI_APP, GetSystemMetrics(SM_CXICON))),
      m_appIconSmall(CIcon::LoadSmall(IDI_APP)),
      m_taskbarCreated(RegisterMessageOr(ZV_TASKBAR_CREATED_NAME, ZV_TASKBAR_CREATED_FALLBACK)),
      m_handleCountQuery(RegisterMessageOr(ZV_QUERY_MESSAGE, ZV_QUERY_FALLBACK)) {}

CAgentDialog::~CAgentDialog() = default;

BOOL CAgentDialog::OnInitDialog() {
    m_settings = std::make_unique<CAgentSettings>();
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_appIconBig.Get()));
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_appIconSmall.Get()));
    m_trayPictures.clear();
    for (unsigned id : AllTrayIcons())
        m_trayPictures.emplace_back(id, CIcon::LoadSmall(id));
    m_tray.Add(m_hWnd, TrayPicture(IDI_IDLE), LoadResString(IDS_TRAY_TIP));
    SetWindowText(LoadResString(IDS_HIDDEN_TITLE));
    ::MoveWindow(m_hWnd, 0, 0, 1, 1, TRUE);
    ShowWindow(SW_HIDE);
    m_keptUrls.clear();
    m_popup = m_services.MakePopup();
    if (m_popup)
        m_popup->Create(m_hWnd);
    m_controller.Start(*m_settings, m_settings->LoadNewEntriesFlag());
    return TRUE;
}

HICON CAgentDialog::TrayPicture(unsigned id) const {
    for (const auto& picture : m_trayPictures) {
        if (picture.first == id)
            return picture.second.Get();
    }
    return nullptr;
}

// The dialog manager shows a modal dialog when its queue first runs empty. Hiding it again
// on WM_PAINT is not enough: a 1 x 1 window with a border has no client area to paint, so
// it would stay on screen and on the taskbar. Refusing to be shown keeps it hidden.
LRESULT CAgentDialog::OnWindowPosChanging(WPARAM, LPARAM windowPos) {
    reinterpret_cast<WINDOWPOS*>(windowPos)->flags &= ~SWP_SHOWWINDOW;
    SetMsgHandled(false);
    return 0;
}

void CAgentDialog::OnTimer(UINT_PTR id) {
    if (id == ID_TIMER_ANIMATE)
        m_tray.NextFrame();
    else if (id == ID_TIMER_POLL)
        m_controller.OnPollTimer();
    else if (id == ID_TIMER_USER_RETURN)
        m_controller.OnUserMayBeBack();
    Default();
}

LRESULT CAgentDialog::OnPollDone(WPARAM, LPARAM lParam) {
    std::unique_ptr<PollResult> result(reinterpret_cast<PollResult*>(lParam));
    if (!result || !m_settings)
        return 0;
    ApplyPollResult(*m_settings, *result);
    switch (result->outcome) {
    case PollOutcome::NewPostings:
        m_controller.ReportNewPostings();
        break;
    case PollOutcome::NothingNew:
        m_controller.ReportNothingNew();
        break;
    case PollOutcome::Error:
        m_controller.ReportError(result->reason);
        break;
    }
    return 0;
}

LRESULT CAgentDialog::OnSoundDone(WPARAM, LPARAM) {
    m_controller.OnUserSoundDone();
    return 0;
}

// Windows sends PBT_APMRESUMEAUTOMATIC on every wake and PBT_APMRESUMESUSPEND as well when
// a user is present; either one schedules the poll after the wake.
LRESULT CAgentDialog::OnPowerBroadcast(WPARAM event, LPARAM) {
    if (event == PBT_APMRESUMEAUTOMATIC || event == PBT_APMRESUMESUSPEND)
        m_controller.OnResume();
    return TRUE;
}

// An unlock, a logon or a reconnected session may bring the user back.
LRESULT CAgentDialog::OnSessionChange(WPARAM, LPARAM) {
    m_controller.OnUserMayBeBack();
    return 0;
}

// The shell can be restarted; its new taskbar knows nothing of our icon.
LRESULT CAgentDialog::OnTaskbarCreated(WPARAM, LPARAM) {
    m_tray.AddAgain();
    SetMsgHandled(false);
    return 0;
}

// wParam names a HandleKind and the answer is its live count; one past the last kind asks
// whether a poll is running, so that a soak can wait for each poll's report; two past it
// asks for the delay in milliseconds the poll timer was armed with (0 when it is off), so
// that the retry schedule can be seen without waiting for it.
LRESULT CAgentDialog::OnHandleCountQuery(WPARAM kind, LPARAM) {
    static_assert(static_cast<int>(HandleKind::Kinds) == ZV_QUERY_HANDLE_KINDS,
                  "the drivers outside ask for every kind of handle");
    if (kind < ZV_QUERY_HANDLE_KINDS)
        return LiveHandleCount(static_cast<HandleKind>(kind));
    if (kind == ZV_QUERY_POLL_RUNNING)
        return m_controller.Flags().connecting ? 1 : 0;
    if (kind == ZV_QUERY_POLL_DELAY)
        return static_cast<LRESULT>(m_controller.PollTimerDelayMs());
    return -1;
}

LRESULT CAgentDialog::OnTrayNotify(WPARAM, LPARAM notification) {
    const TrayMenu menu = CTrayIcon::MenuAskedFor(static_cast<UINT>(notification));
    if (menu == TrayMenu::None || m_trayMenuOpen)
        return 0;
    if (m_controller.TrayClicksIgnored() || !m_settings)
        return 0;
    const CMenu commands = CMenu::Load(IDR_TRAY_MENU);
    const CMenu entries = CMenu::Load(IDR_ENTRIES_MENU);
    const HMENU commandPopup = commands.SubMenu(0);
    const HMENU entriesPopup = entries.SubMenu(0);
    if (!commandPopup || !entriesPopup)
        return 0;
    m_trayMenuOpen = true;
    if (menu == TrayMenu::Commands) {
        PrepareCommandMenu(commandPopup);
        TrackTrayMenu(commandPopup);
    } else {
        SetMenuDefaultItem(entriesPopup, ID_SITE_HOME, FALSE);
        AddNewsItems(entriesPopup);
        TrackTrayMenu(entriesPopup);
    }
    m_trayMenuOpen = false;
    if (menu == TrayMenu::Entries)
        m_controller.OnEntriesMenuClosed();
    return 0;
}

void CAgentDialog::PrepareCommandMenu(HMENU popup) {
    if (m_controller.Flags().disabled)
        ModifyMenuA(popup, ID_TASKBAR_DISABLE, MF_BYCOMMAND | MF_STRING, ID_TASKBAR_DISABLE,
                    "&Enable");
    if (!m_controller.RefreshOffered())
        DeleteMenu(popup, ID_TASKBAR_REFRESH, MF_BYCOMMAND);
}

void CAgentDialog::AddNewsItems(HMENU popup) {
    m_keptUrls.clear();
    const std::vector<EntryItem> items = BuildEntryItems(*m_settings, DecodeAnsi);
    for (size_t i = 0; i < items.size() && i < kMostEntryItems; ++i) {
        // Wide-character items show every title whatever the system's code page.
        InsertMenuW(popup, static_cast<UINT>(i), MF_BYPOSITION | MF_STRING, ID_NEWS_ENTRY_FIRST + i,
                    WideChars(items[i].text));
        m_keptUrls.push_back(items[i].url);
    }
}

void CAgentDialog::TrackTrayMenu(HMENU popup) {
    POINT cursor = {0, 0};
    GetCursorPos(&cursor);
    // A tray menu closes when the user clicks elsewhere only if its owner is in front, and
    // the next menu opens properly only after the owner has seen a message.
    SetForegroundWindow(m_hWnd);
    TrackPopupMenu(popup, 0, cursor.x, cursor.y, 0, m_hWnd, nullptr);
    PostMessage(WM_NULL);
}

void CAgentDialog::OnNewsEntry(UINT id) {
    const size_t index = id - ID_NEWS_ENTRY_FIRST;
    if (index < m_keptUrls.size())
        m_services.OpenPage(m_keptUrls[index]);
}

void CAgentDialog::OnSiteHome() {
    m_services.OpenPage(LoadResString(IDS_HOME_URL));
}

BOOL CAgentDialog::OnHelp(HELPINFO*) {
    m_services.LaunchBrowser(LoadResString(IDS_HELP_URL));
    return FALSE;
}

template <typename Run> void CAgentDialog::RunNestedModal(Run run) {
    ++m_nestedModals;
    run();
    --m_nestedModals;
    if (m_nestedModals == 0 && m_closeWaiting)
        PostMessage(WM_CLOSE);
}

void CAgentDialog::OnConfigure() {
    if (!m_settings)
        return;
    RunNestedModal([this] {
        if (m_services.Configure(m_hWnd, *m_settings))
            m_controller.OnConfigurationAccepted();
    });
}

void CAgentDialog::OnAbout() {
    RunNestedModal([this] {
        CAboutDialog about(m_services, m_hWnd, LastPollText(m_controller.LastPollEnded()));
        about.DoModal();
    });
}

void CAgentDialog::OnClose() {
    // The sheet edits the settings in place; they must outlive it.
    if (m_nestedModals > 0) {
        m_closeWaiting = true;
        return;
    }
    if (m_settings) {
        SaveState();
        m_controller.Stop();
        m_settings.reset();
    }
    EndDialog(IDCANCEL);
}

void CAgentDialog::SaveState() {
    m_settings->SaveAll();
    m_settings->SaveNewEntriesFlag(m_controller.Flags().newPostings);
}

// At log-off the process ends without WM_CLOSE; what a close would save is saved now.
LRESULT CAgentDialog::OnEndSession(WPARAM ending, LPARAM) {
    if (ending && m_settings)
        SaveState();
    return 0;
}

void CAgentDialog::OnDestroy() {
    m_tray.Remove();
    Default();
}

// Enter must not end the agent.
void CAgentDialog::OnOK() {}

// After a tray menu the hidden window is the foreground window, so a stray Escape reaches
// it as IDCANCEL. The agent ends only by Exit, a close or the end of the session.
void CAgentDialog::OnCancel() {}

bool CAgentDialog::ArmPollTimer(unsigned milliseconds) {
    return SetTimer(ID_TIMER_POLL, milliseconds) != 0;
}

void CAgentDialog::StopPollTimer() {
    KillTimer(ID_TIMER_POLL);
}

void CAgentDialog::WatchForUserReturn(bool watch) {
    if (watch)
        SetTimer(ID_TIMER_USER_RETURN, kUserReturnCheckMs);
    else
        KillTimer(ID_TIMER_USER_RETURN);
    m_services.ListenForSessionChanges(m_hWnd, watch);
}

bool CAgentDialog::StartWorker() {
    return m_settings && m_services.StartPoll(m_hWnd, SnapshotPollSettings(*m_settings));
}

void CAgentDialog::ShowTray(TrayDisplay display) {
    const TrayLook look = LookOf(display);
    if (look.icons.size() == 1) {
        m_tray.SetIcon(TrayPicture(look.icons.front()));
    } else {
        std::vector<HICON> frames;
        for (unsigned id : look.icons)
            frames.push_back(TrayPicture(id));
        m_tray.Animate(frames);
    }
    m_tray.SetTip(TrayTip(display, m_controller.LastPollEnded().reason.brief));
}

void CAgentDialog::ShowPopup() {
    if (m_popup)
        m_popup->Show(LoadResString(IDS_POPUP_LINE1), LoadResString(IDS_POPUP_LINE2),
                      LoadResString(IDS_POPUP_LINE3));
}

void CAgentDialog::PlaySystemSound() {
    m_services.Sound().PlayAlert();
}

bool CAgentDialog::PlayUserSound(const CString& path) {
    return m_services.Sound().PlayFile(path, m_hWnd, WM_SOUND_DONE);
}

void CAgentDialog::RefuseBeep() {
    m_services.Sound().Beep(200, 200);
}

void CAgentDialog::PostClose() {
    PostMessage(WM_CLOSE);
}

CString CAgentDialog::LocalTime() {
    char date[64] = "";
    char time[64] = "";
    GetDateFormatA(LOCALE_USER_DEFAULT, DATE_SHORTDATE, nullptr, nullptr, date, sizeof(date));
    GetTimeFormatA(LOCALE_USER_DEFAULT, 0, nullptr, nullptr, time, sizeof(time));
    return CString(date) + " " + time;
}
