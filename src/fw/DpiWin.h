#pragma once
// The DPI of the monitor at a point of the screen. Windows 8.1 and later tell it per
// monitor; Windows 7 knows only the one DPI of the whole system.
#include <windows.h>

int MonitorDpiAt(POINT point);
