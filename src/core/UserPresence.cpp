#include "UserPresence.h"

bool AlertsMustWait(int systemState, bool fullScreenInFront) {
    switch (static_cast<UserNotificationState>(systemState)) {
    case UserNotificationState::NotPresent:
    case UserNotificationState::Busy:
    case UserNotificationState::FullScreenDirect3D:
    case UserNotificationState::PresentationMode:
    case UserNotificationState::QuietTime:
        return true;
    case UserNotificationState::AcceptsNotifications:
    case UserNotificationState::App:
        break;
    }
    return fullScreenInFront;
}
