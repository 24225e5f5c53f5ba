#pragma once
// What the configuration sheet's pages hold: copies of the settings they edit, taken when
// the sheet is built and written back when the user confirms it. A page that was never
// shown keeps the values taken here, so OK writes those back unchanged.
#include "CString.h"

class CAgentSettings;

// The Connection page: the poll interval, the proxy and its credentials.
struct ConnectionValues {
    CString pollText; // one of the interval list's texts, or empty
    int proxyOn = 0;
    int proxyPort = 0;
    CString proxyHost;
    int proxyAuthOn = 0;
    CString password;
    CString userName;
};

// The Notification page: how new articles are announced.
struct NotificationValues {
    int popupOn = 0;
    CString soundPath;
    int systemSoundOn = 0;
    int userSoundOn = 0;
};

// Takes the page's values from the settings. Removes the leading blanks of
// settings.proxyHost in place, so the settings hold what the page shows.
ConnectionValues ReadConnectionValues(CAgentSettings& settings);
// Writes the page's values: host and credentials trimmed, the port as "%d", the flags as 0
// or 1, and pollingDelay only when the poll text is exactly one of the list's texts.
void WriteConnectionValues(const ConnectionValues& values, CAgentSettings& settings);

NotificationValues ReadNotificationValues(const CAgentSettings& settings);
// soundPath is written exactly as it is, blanks included.
void WriteNotificationValues(const NotificationValues& values, CAgentSettings& settings);

// A set of the pages' control ids, which lie in kFirstControl .. kFirstControl + 31; an id
// outside is never in the set.
class ControlSet {
public:
    static const int kFirstControl = 1000;
    static const int kLastControl = kFirstControl + 31;

    void Add(int id) { m_bits |= Bit(id); }
    bool Contains(int id) const { return (m_bits & Bit(id)) != 0; }
    bool IsEmpty() const { return m_bits == 0; }

private:
    static unsigned Bit(int id) {
        return id >= kFirstControl && id <= kLastControl ? 1u << (id - kFirstControl) : 0;
    }

    unsigned m_bits = 0;
};

// The controls of each page whose settings the administrator sets by policy: they stay
// disabled and the page shows its note, so their values are the policy's.
ControlSet LockedConnectionControls(const CAgentSettings& settings);
ControlSet LockedNotificationControls(const CAgentSettings& settings);

// The interval list's text for a delay in minutes: the shortest interval that is not
// shorter, so 7 shows as "10 minutes" and anything up to 5 as "5 minutes". Above 240 no
// entry fits and the text is empty.
CString PollTextForDelay(int minutes);
// The delay of an interval list text, compared exactly; false for any other text.
bool PollDelayForText(const CString& text, int& minutes);
// The decimal number at the start of a port text (after blanks, with an optional sign);
// 0 when there is none or it is outside the int range.
int LeadingNumber(const CString& text);
