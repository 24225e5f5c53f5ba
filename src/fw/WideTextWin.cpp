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
