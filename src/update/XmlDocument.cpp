#include "XmlDocument.h"

#include "WideText.h"

#include <cstring>
#include <utility>

namespace {

bool IsBlank(int ch) {
    return ch == ' ' || ch == '\t' || ch == '\r' || ch == '\n';
}

// Windows-1252, of which ISO-8859-1 and US-ASCII are taken as parts, as browsers take them:
// the bytes 0x80 to 0x9F are its printable characters, and the five it leaves undefined
// stay the control characters of ISO-8859-1.
void AppendWindows1252(const char* bytes, int length, CString& text) {
    static const char16_t kHigh[32] = {
        0x20AC, 0x81,   0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
        0x2039, 0x0152, 0x8D,   0x017D, 0x8F,   0x90,   0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
        0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x9D,   0x017E, 0x0178};
    for (int i = 0; i < length; ++i) {
        const auto byte = static_cast<unsigned char>(bytes[i]);
        AppendUtf8(byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte, text);
    }
}

// Whether the XML declaration at the start of document ('<?xml version="1.0"
// encoding="NAME"?>') names one of the encodings taken as Windows-1252; name and length
// receive the place of that name.
bool NamesLatinEncoding(const char* document, int& name, int& length) {
    static const char* const kNames[] = {"iso-8859-1",   "iso8859-1", "latin1",
                                         "windows-1252", "cp1252",    "us-ascii"};
    // The declaration holds no ">" before its end.
    const char* end = std::strchr(document, '>');
    const char* at = document;
    while (at < end && std::strncmp(at, " encoding", 9) != 0)
        ++at;
    if (std::strncmp(document, "<?xml", 5) != 0 || at >= end)
        return false;
    for (at += 9; IsBlank(*at) || *at == '='; ++at) {
    }
    const char* close = *at == '"' || *at == '\'' ? std::strchr(at + 1, *at) : nullptr;
    if (!close || close > end)
        return false;
    name = static_cast<int>(++at - document);
    length = static_cast<int>(close - at);
    const CString declared(at, length);
    for (const char* known : kNames) {
        if (declared.CompareNoCase(known) == 0)
            return true;
    }
    return false;
}

// lastLine of a document in characters of unit bytes (UTF-16 is little-endian by now).
void FindLastLine(XmlDocument& document, int unit) {
    const CString& bytes = document.bytes;
    int line = document.firstLine;
    document.lastLine = line;
    for (int i = 0; i + unit <= bytes.GetLength(); i += unit) {
        const bool zeroHigh = unit == 1 || bytes[i + 1] == '\0';
        line += bytes[i] == '\n' && zeroHigh ? 1 : 0;
        if (!IsBlank(bytes[i]) || !zeroHigh)
            document.lastLine = line;
    }
}

} // namespace

bool PrepareXmlDocument(const char* body, int size, XmlDocument& document) {
    const auto* bytes = reinterpret_cast<const unsigned char*>(body);
    // UTF-16 has a zero byte in every character of ASCII; with a byte-order mark, the
    // document starts at that mark.
    const bool utf16 = size > 3 && (!bytes[0] || !bytes[1] || !bytes[2] || !bytes[3]);
    const bool bigEndian = utf16 && (!bytes[0] || bytes[0] == 0xFE);
    const bool mark =
        !utf16 && size > 2 && bytes[0] == 0xEF && bytes[1] == 0xBB && bytes[2] == 0xBF;
    int start = mark ? 3 : 0;
    document.firstLine = 1;
    for (; !utf16 && start < size && IsBlank(bytes[start]); ++start)
        document.firstLine += bytes[start] == '\n' ? 1 : 0;
    const bool xml = utf16 ? bytes[bigEndian] == '<' || bytes[bigEndian + 2] == '<'
                           : start < size && bytes[start] == '<';
    if (!xml)
        return false;
    int name = 0;
    int length = 0;
    document.bytes.Empty();
    // A byte-order mark outweighs the declaration. The name is ASCII, so it keeps its place
    // through the conversion.
    if (!utf16 && !mark && NamesLatinEncoding(body + start, name, length)) {
        AppendWindows1252(body + start, name, document.bytes);
        document.bytes += "UTF-8";
        start += name + length;
        AppendWindows1252(body + start, size - start, document.bytes);
    } else {
        document.bytes.Append(body + start, size - start);
    }
    // Wine's reader knows UTF-16 only in little-endian order.
    char* units = document.bytes.GetBuffer(0);
    for (int i = 0; bigEndian && i + 1 < size; i += 2)
        std::swap(units[i], units[i + 1]);
    FindLastLine(document, utf16 ? 2 : 1);
    return true;
}
