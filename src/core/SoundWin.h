#pragma once
// Every sound the agent makes goes through one ISoundPlayer, so that tests can record what
// was asked for (no sound is observable under Wine).
#include "CString.h"

#include <windows.h>

class ISoundPlayer {
public:
    virtual ~ISoundPlayer() = default;
    // The system's exclamation sound.
    virtual void PlayAlert() = 0;
    // Plays a sound file to its end on a thread of its own and then posts doneMessage to
    // window. False when it cannot start; nothing is posted then.
    virtual bool PlayFile(const CString& path, HWND window, UINT doneMessage) = 0;
    virtual void Beep(DWORD frequency, DWORD milliseconds) = 0;
};

class CSystemSoundPlayer : public ISoundPlayer {
public:
    void PlayAlert() override;
    bool PlayFile(const CString& path, HWND window, UINT doneMessage) override;
    void Beep(DWORD frequency, DWORD milliseconds) override;
};
