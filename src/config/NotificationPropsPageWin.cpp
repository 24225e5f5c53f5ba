#include "NotificationPropsPageWin.h"

#include "ConfigDialogWin.h"
#include "SystemLibraryWin.h"

#include <commdlg.h>
#include <vector>

namespace {

// Pairs of a description and its patterns, "|" between them, "||" at the end.
const char kSoundFilter[] =
    "Sound Files (*.wav)|*.wav|Executable Files (*.exe;*.bat)|*.exe;*.bat|All Files (*.*)|*.*||";

// The Open File dialog wants the filter's separators as zero bytes.
std::vector<char> SoundFilterWithZeros() {
    std::vector<char> result(kSoundFilter, kSoundFilter + sizeof kSoundFilter);
    for (char& ch : result) {
        if (ch == '|')
            ch = '\0';
    }
    return result;
}

// The Open File dialog for an existing sound file, starting at current. A dialog that
// cannot open counts as cancelled.
bool ChooseSoundFile(HWND owner, const CString& current, CString& chosen) {
    std::vector<char> filter = SoundFilterWithZeros();
    // Room for long paths; a start text that does not fit is left out rather than cut.
    std::vector<char> file(4096, '\0');
    if (static_cast<size_t>(current.GetLength()) < file.size())
        current.str().copy(file.data(), file.size() - 1);

    OPENFILENAMEA dialog = {};
    dialog.lStructSize = sizeof(dialog);
    dialog.hwndOwner = owner;
    dialog.lpstrFilter = filter.data();
    dialog.nFilterIndex = 1;
    dialog.lpstrFile = file.data();
    dialog.nMaxFile = static_cast<DWORD>(file.size());
    dialog.Flags = OFN_HIDEREADONLY | OFN_NOCHANGEDIR | OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST;
    // The dialog puts the dot before the default extension itself.
    dialog.lpstrDefExt = "wav";
    const auto openFileName =
        SystemFunctionOf<decltype(GetOpenFileNameA)>("comdlg32.dll", "GetOpenFileNameA");
    if (!openFileName || !openFileName(&dialog))
        return false;
    chosen = file.data();
    return true;
}

} // namespace

void CNotificationPropsPage::DoDataExchange(CDataExchange& dx) {
    DDX_Check(dx, IDC_ALERT_MESSAGE, m_values.popupOn);
    DDX_Text(dx, IDC_SOUND_PATH, m_values.soundPath);
    DDX_Check(dx, IDC_ALERT_SYSTEM_SOUND, m_values.systemSoundOn);
    DDX_Check(dx, IDC_ALERT_USER_SOUND, m_values.userSoundOn);
}

BOOL CNotificationPropsPage::OnInitDialog() {
    CPropertyPage::OnInitDialog();
    FollowUserSound();
    m_locks.Show(m_hWnd);
    return TRUE;
}

void CNotificationPropsPage::OnBrowse() {
    CString chosen;
    if (ChooseSoundFile(GetAncestor(m_hWnd, GA_ROOT), GetControlText(m_hWnd, IDC_SOUND_PATH),
                        chosen))
        SetDlgItemTextA(m_hWnd, IDC_SOUND_PATH, chosen);
}

void CNotificationPropsPage::OnUserSoundClicked() {
    FollowUserSound();
}

void CNotificationPropsPage::FollowUserSound() {
    const bool userSound = IsChecked(IDC_ALERT_USER_SOUND);
    if (userSound && !m_locks.Contains(IDC_ALERT_SYSTEM_SOUND))
        CheckDlgButton(m_hWnd, IDC_ALERT_SYSTEM_SOUND, BST_UNCHECKED);
    EnableSoundGroup(userSound);
}

void CNotificationPropsPage::OnSystemSoundClicked() {
    if (!IsChecked(IDC_ALERT_SYSTEM_SOUND) || m_locks.Contains(IDC_ALERT_USER_SOUND))
        return;
    CheckDlgButton(m_hWnd, IDC_ALERT_USER_SOUND, BST_UNCHECKED);
    EnableSoundGroup(false);
}

BOOL CNotificationPropsPage::OnHelpInfo(HELPINFO*) {
    OpenHelpPage(m_openPage);
    return FALSE;
}

bool CNotificationPropsPage::IsChecked(int id) const {
    return IsDlgButtonChecked(m_hWnd, id) == BST_CHECKED;
}

void CNotificationPropsPage::EnableSoundGroup(bool enable) {
    m_locks.Enable(m_hWnd, IDC_SOUND_PATH, enable);
    m_locks.Enable(m_hWnd, IDC_SOUND_BROWSE, enable);
}
