#pragma once
// What a screen reader learns of the popup: an alert whose name is the popup's text.
#include <windows.h>

// The answer to WM_GETOBJECT for window: for its client area an object with the alert role
// whose name is the window's text; 0 otherwise or when no object can be made, and the
// system then answers with its standard object.
LRESULT AnswerAccessibleObject(HWND window, WPARAM flags, LPARAM objectId);
