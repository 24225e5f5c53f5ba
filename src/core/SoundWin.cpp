#include "SoundWin.h"

#include "SystemLibraryWin.h"

#include <mmsystem.h>

namespace {

struct SoundJob {
    CString path;
    HWND window;
    UINT doneMessage;
};

DWORD WINAPI PlaySoundThread(void* parameter) {
    SoundJob* job = static_cast<SoundJob*>(parameter);
    const auto playSound = SystemFunctionOf<decltype(PlaySoundA)>("winmm.dll", "PlaySoundA");
    if (playSound)
        playSound(job->path, nullptr, SND_FILENAME);
    PostMessageA(job->window, job->doneMessage, 0, 0);
    delete job;
    return 0;
}

} // namespace

void CSystemSoundPlayer::PlayAlert() {
    MessageBeep(MB_ICONEXCLAMATION);
}

bool CSystemSoundPlayer::PlayFile(const CString& path, HWND window, UINT doneMessage) {
    SoundJob* job = new SoundJob{path, window, doneMessage};
    const HANDLE thread = CreateThread(nullptr, 0, PlaySoundThread, job, 0, nullptr);
    if (!thread) {
        delete job;
        return false;
    }
    CloseHandle(thread);
    return true;
}

void CSystemSoundPlayer::Beep(DWORD frequency, DWORD milliseconds) {
    ::Beep(frequency, milliseconds);
}
