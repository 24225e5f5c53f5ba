#include "WideTextWin.h"

WideText DecodeAnsi(const CString& text) {
    const int length = MultiByteToWideChar(CP_ACP, 0, text, text.GetLength(), nullptr, 0);
    if (length <= 0)
        return WideText();
    WideText wide(static_cast<size_t>(length), u'\0');
    MultiByteToWideChar(CP_ACP, 0, text, text.GetLength(), reinterpret_cast<wchar_t*>(&wide[0]),
                        length);
    return wide;
}

CString NarrowText(const wchar_t* text) {
    if (!text)
        return CString();
    const int size = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, nullptr);
    if (size <= 0)
        return CString();
    CString narrow;
    WideCharToMultiByte(CP_ACP, 0, text, -1, narrow.GetBuffer(size), size, nullptr, nullptr);
    narrow.ReleaseBuffer(-1);
    return narrow;
}
