#pragma once
// The Notification page: the popup, and either the standard alert sound or a sound file of
// the user's choice, never both. Its values are copies taken from the settings when the
// sheet is built.
#include "ConfigValues.h"
#include "PageOpener.h"
#include "PolicyLocksWin.h"
#include "PropertySheetWin.h"
#include "resource.h"

class CNotificationPropsPage : public CPropertyPage {
public:
    CNotificationPropsPage(const CAgentSettings& settings, PageOpener openPage)
        : CPropertyPage(IDD_NOTIFICATION), m_values(ReadNotificationValues(settings)),
          m_locks(LockedNotificationControls(settings)), m_openPage(openPage) {}

    // What the page holds: as constructed until the page has been shown and left.
    const NotificationValues& Values() const { return m_values; }

    BEGIN_MSG_MAP(CNotificationPropsPage, CPropertyPage)
    BN_CLICKED_HANDLER(IDC_SOUND_BROWSE, OnBrowse)
    BN_CLICKED_HANDLER(IDC_ALERT_USER_SOUND, OnUserSoundClicked)
    BN_CLICKED_HANDLER(IDC_ALERT_SYSTEM_SOUND, OnSystemSoundClicked)
    MSG_WM_HELP(OnHelpInfo)
    END_MSG_MAP()

protected:
    void DoDataExchange(CDataExchange& dx) override;
    BOOL OnInitDialog() override;

private:
    // Lets the user pick a sound file; the path replaces the edit's text only when a file
    // was confirmed.
    void OnBrowse();
    void OnUserSoundClicked();
    void OnSystemSoundClicked();
    BOOL OnHelpInfo(HELPINFO* info);

    // The user's sound excludes the system sound and is the only one that needs the path.
    // A sound set by policy is not unchecked: then both may be on.
    void FollowUserSound();
    bool IsChecked(int id) const;
    // The path edit and its browse button. Disabling keeps the path: it is saved all the same.
    void EnableSoundGroup(bool enable);

    NotificationValues m_values;
    CPolicyLocks m_locks;
    PageOpener m_openPage;
};
