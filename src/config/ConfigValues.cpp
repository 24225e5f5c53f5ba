#include "ConfigValues.h"

#include "AgentSettings.h"
#include "DecimalNumber.h"

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
