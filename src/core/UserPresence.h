#pragma once
// Whether the popup and the alert sound must wait for the user: what the system says of
// the user, and whether a full-screen window is in front where the popup would come out.

// The user's states as SHQueryUserNotificationState reports them.
enum class UserNotificationState {
    NotPresent = 1, // locked, screen saver, another user's session
    Busy,           // a full-screen application
    FullScreenDirect3D,
    PresentationMode,
    AcceptsNotifications,
    QuietTime, // Focus Assist, Do Not Disturb
    App,       // a store app in front; desktop notifications still show
};

// True while alerts wait: the user is away, presents, asked for quiet or runs something full
// screen, or a full-screen window is in front on the popup's monitor (which the system may
// not report). An unknown state, or none (0: the question failed), lets alerts through.
bool AlertsMustWait(int systemState, bool fullScreenInFront);

// While alerts wait, the agent asks again this often whether the user is back.
constexpr unsigned kUserReturnCheckMs = 30000;
