#include "DpiWin.h"

#include "GdiWin.h"
#include "SystemLibraryWin.h"

namespace {

// MDT_EFFECTIVE_DPI of shellscalingapi.h: the DPI the user's scale setting gives.
constexpr int kEffectiveDpi = 0;

using GetDpiForMonitorFunction = HRESULT WINAPI(HMONITOR, int, UINT*, UINT*);

int SystemDpi() {
    CClientDC screen(nullptr);
    return screen ? GetDeviceCaps(screen.Get(), LOGPIXELSY) : USER_DEFAULT_SCREEN_DPI;
}

} // namespace

int MonitorDpiAt(POINT point) {
    // Through the export, which Windows 7 lacks (shcore.dll came with Windows 8.1).
    const auto getDpiForMonitor =
        SystemFunctionOf<GetDpiForMonitorFunction>("shcore.dll", "GetDpiForMonitor");
    UINT dpiX = 0;
    UINT dpiY = 0;
    if (getDpiForMonitor &&
        SUCCEEDED(getDpiForMonitor(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST), kEffectiveDpi,
                                   &dpiX, &dpiY)) &&
        dpiY > 0)
        return static_cast<int>(dpiY);
    return SystemDpi();
}
