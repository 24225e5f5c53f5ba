#include "ConfigValues.h"

#include "AgentSettings.h"
#include "DecimalNumber.h"
#include "resource.h"

#include <iterator>

namespace {

struct PollChoice {
    int minutes;
    const char* text;
};

// The interval list of the Connection page, in list order.
const PollChoice kPollChoices[] = {
    {5, "5 minutes"}, {10, "10 minutes"}, {30, "30 minutes"},
    {60, "1 hour"},   {120, "2 hours"},   {240, "4 hours"},
};

// Each control of a page with the setting it edits.
struct ControlSetting {
    int id;
    const char* setting;
};

constexpr ControlSetting kConnectionControls[] = {
    {IDC_POLL_INTERVAL, "pollingDelay"},  {IDC_USE_PROXY, "useProxy"},
    {IDC_PROXY_HOST, "proxyHost"},        {IDC_PROXY_PORT, "proxyPort"},
    {IDC_USE_PROXY_AUTH, "useProxyAuth"}, {IDC_USERNAME, "authUsername"},
    {IDC_PASSWORD, "authPassword"},
};

constexpr ControlSetting kNotificationControls[] = {
    {IDC_ALERT_MESSAGE, "alertByMessage"},
    {IDC_ALERT_USER_SOUND, "alertByUserSound"},
    {IDC_SOUND_PATH, "soundPath"},
    {IDC_SOUND_BROWSE, "soundPath"},
    {IDC_ALERT_SYSTEM_SOUND, "alertBySystemSound"},
};

constexpr bool FitControlSet(const ControlSetting* controls, const ControlSetting* end) {
    for (; controls != end; ++controls) {
        if (controls->id < ControlSet::kFirstControl || controls->id > ControlSet::kLastControl)
            return false;
    }
    return true;
}
static_assert(FitControlSet(std::begin(kConnectionControls), std::end(kConnectionControls)) &&
                  FitControlSet(std::begin(kNotificationControls), std::end(kNotificationControls)),
              "a page's control id lies outside ControlSet's range");

ControlSet LockedControls(const CAgentSettings& settings, const ControlSetting* controls,
                          const ControlSetting* end) {
    ControlSet locked;
    for (; controls != end; ++controls) {
        if (settings.IsSetByPolicy(controls->setting))
            locked.Add(controls->id);
    }
    return locked;
}

int Flag(int setting) {
    return setting > 0 ? 1 : 0;
}

CString Trimmed(const CString& text) {
    CString copy = text;
    copy.Trim();
    return copy;
}

} // namespace

ConnectionValues ReadConnectionValues(CAgentSettings& settings) {
    ConnectionValues values;
    settings.proxyHost.TrimLeft();
    values.proxyHost = settings.proxyHost;
    values.password = settings.authPassword;
    values.userName = settings.authUsername;
    values.proxyPort = LeadingNumber(settings.proxyPort);
    values.proxyOn = Flag(settings.useProxy);
    values.proxyAuthOn = Flag(settings.useProxyAuth);
    values.pollText = PollTextForDelay(settings.pollingDelay);
    return values;
}

void WriteConnectionValues(const ConnectionValues& values, CAgentSettings& settings) {
    settings.proxyHost = Trimmed(values.proxyHost);
    settings.proxyPort.Format("%d", values.proxyPort);
    settings.useProxy = Flag(values.proxyOn);
    settings.authUsername = Trimmed(values.userName);
    settings.authPassword = Trimmed(values.password);
    settings.useProxyAuth = Flag(values.proxyAuthOn);
    PollDelayForText(values.pollText, settings.pollingDelay);
}

NotificationValues ReadNotificationValues(const CAgentSettings& settings) {
    NotificationValues values;
    values.popupOn = Flag(settings.alertByMessage);
    values.systemSoundOn = Flag(settings.alertBySystemSound);
    values.userSoundOn = Flag(settings.alertByUserSound);
    values.soundPath = settings.soundPath;
    return values;
}

void WriteNotificationValues(const NotificationValues& values, CAgentSettings& settings) {
    settings.alertByMessage = Flag(values.popupOn);
    settings.alertBySystemSound = Flag(values.systemSoundOn);
    settings.alertByUserSound = Flag(values.userSoundOn);
    settings.soundPath = values.soundPath;
}

ControlSet LockedConnectionControls(const CAgentSettings& settings) {
    return LockedControls(settings, std::begin(kConnectionControls), std::end(kConnectionControls));
}

ControlSet LockedNotificationControls(const CAgentSettings& settings) {
    return LockedControls(settings, std::begin(kNotificationControls),
                          std::end(kNotificationControls));
}

CString PollTextForDelay(int minutes) {
    for (const PollChoice& choice : kPollChoices) {
        if (minutes <= choice.minutes)
            return choice.text;
    }
    return CString();
}

bool PollDelayForText(const CString& text, int& minutes) {
    for (const PollChoice& choice : kPollChoices) {
        if (text == choice.text) {
            minutes = choice.minutes;
            return true;
        }
    }
    return false;
}

int LeadingNumber(const CString& text) {
    int number = 0;
    return ScanDecimalNumber(text, number) == NumberScan::Number ? number : 0;
}
