#include "WndWin.h"

// The program's entry point runs its one static CWinApp.
int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
    return RunWinApp();
}
