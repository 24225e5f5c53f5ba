#include "WideText.h"

namespace {

bool IsContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

bool IsHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}

bool IsLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

// The number of bytes of the sequence that lead starts, and the smallest value it may
// encode (anything below is an overlong form); 0 for a byte that cannot start one.
int SequenceLength(unsigned char lead, char32_t& smallest) {
    if (lead < 0x80) {
        smallest = 0;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        smallest = 0x80;
        return 2;
    }
    if ((lead & 0xF0) == 0xE0) {
        smallest = 0x800;
        return 3;
    }
    if ((lead & 0xF8) == 0xF0) {
        smallest = 0x10000;
        return 4;
    }
    return 0;
}

void AppendCodePoint(char32_t value, WideText& out) {
    if (value < 0x10000) {
        out += static_cast<char16_t>(value);
        return;
    }
    value -= 0x10000;
    out += static_cast<char16_t>(0xD800 + (value >> 10));
    out += static_cast<char16_t>(0xDC00 + (value & 0x3FF));
}

} // namespace

bool DecodeUtf8(const CString& text, WideText& decoded) {
    decoded.clear();
    const auto* bytes = reinterpret_cast<const unsigned char*>(text.str().data());
    const int length = text.GetLength();
    for (int i = 0; i < length;) {
        char32_t smallest = 0;
        const int size = SequenceLength(bytes[i], smallest);
        if (size == 0 || i + size > length)
            return false;
        char32_t value = size == 1 ? bytes[i] : bytes[i] & (0x7F >> size);
        for (int k = 1; k < size; ++k) {
            if (!IsContinuation(bytes[i + k]))
                return false;
            value = (value << 6) | (bytes[i + k] & 0x3F);
        }
        if (value < smallest || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF))
            return false;
        AppendCodePoint(value, decoded);
        i += size;
    }
    return true;
}

void AppendUtf8(char32_t codePoint, CString& text) {
    if ((codePoint >= 0xD800 && codePoint <= 0xDFFF) || codePoint > 0x10FFFF)
        codePoint = 0xFFFD;
    if (codePoint < 0x80) {
        text += static_cast<char>(codePoint);
        return;
    }
    const int count = codePoint < 0x800 ? 2 : codePoint < 0x10000 ? 3 : 4;
    char bytes[4];
    for (int i = count - 1; i > 0; --i, codePoint >>= 6)
        bytes[i] = static_cast<char>(0x80 | (codePoint & 0x3F));
    // The lead byte: count one bits, a zero bit, then the highest bits of the value.
    bytes[0] = static_cast<char>(((0xFF00 >> count) & 0xFF) | codePoint);
    text.Append(bytes, count);
}

int CountCharacters(const WideText& text) {
    int count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        if (IsHighSurrogate(text[i]) && i + 1 < text.size() && IsLowSurrogate(text[i + 1]))
            ++i;
        ++count;
    }
    return count;
}

WideText LeadingCharacters(const WideText& text, int count) {
    size_t end = 0;
    for (int taken = 0; taken < count && end < text.size(); ++taken) {
        const bool pair =
            IsHighSurrogate(text[end]) && end + 1 < text.size() && IsLowSurrogate(text[end + 1]);
        end += pair ? 2 : 1;
    }
    return text.substr(0, end);
}
