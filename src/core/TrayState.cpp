#include "TrayState.h"

#include "ResString.h"
#include "resource.h"

#include <algorithm>

std::optional<TrayDisplay> ChooseTrayDisplay(const AgentFlags& flags) {
    if (flags.shuttingDown)
        return TrayDisplay::ShuttingDown;
    if (flags.connecting)
        return std::nullopt;
    if (flags.disabled)
        return TrayDisplay::Disabled;
    if (flags.newPostings)
        return TrayDisplay::NewPostings;
    if (flags.couldNotConnect)
        return TrayDisplay::CouldNotConnect;
    return TrayDisplay::Normal;
}

TrayLook LookOf(TrayDisplay display) {
    switch (display) {
    case TrayDisplay::Connecting:
        return {{IDI_POLL_1, IDI_POLL_2, IDI_POLL_3}, " (connecting)"};
    case TrayDisplay::NewPostings:
        return {{IDI_NEW_1, IDI_NEW_2}, " (new postings)"};
    case TrayDisplay::CouldNotConnect:
        return {{IDI_FAILED}, " (could not connect)"};
    case TrayDisplay::Disabled:
        return {{IDI_DISABLED}, " (disabled)"};
    case TrayDisplay::ShuttingDown:
        return {{IDI_SHUTTING_DOWN}, " (shutting down)"};
    case TrayDisplay::Normal:
        break;
    }
    return {{IDI_IDLE}, ""};
}

CString TrayTip(TrayDisplay display, const CString& failureBrief) {
    const CString base = LoadResString(IDS_TRAY_TIP);
    const CString plain = base + LookOf(display).tipSuffix;
    if (display != TrayDisplay::CouldNotConnect || failureBrief.IsEmpty())
        return plain;
    const CString detailed = base + " (could not connect: " + failureBrief + ")";
    return detailed.GetLength() <= kLongestTrayTip ? detailed : plain;
}

std::vector<unsigned> AllTrayIcons() {
    std::vector<unsigned> ids;
    for (TrayDisplay display :
         {TrayDisplay::Normal, TrayDisplay::Connecting, TrayDisplay::NewPostings,
          TrayDisplay::CouldNotConnect, TrayDisplay::Disabled, TrayDisplay::ShuttingDown}) {
        for (unsigned id : LookOf(display).icons) {
            if (std::find(ids.begin(), ids.end(), id) == ids.end())
                ids.push_back(id);
        }
    }
    return ids;
}
