#include "BrowserCommand.h"

#include "WebAddress.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

// Stands for the address in the template while variables are expanded. A template read
// from the registry cannot hold a zero byte, so the mark never meets real template text.
const char kAddressMark = '\0';

bool IsHexDigit(char ch) {
    return (ch >= '0' && ch <= '9') || (ch >= 'a' && ch <= 'f') || (ch >= 'A' && ch <= 'F');
}

bool StartsPercentEscape(const CString& text, int at) {
    return at + 2 < text.GetLength() && IsHexDigit(text[at + 1]) && IsHexDigit(text[at + 2]);
}

bool MustBeEncoded(unsigned char ch) {
    return ch <= 0x20 || ch >= 0x7F || std::strchr("\"<>\\^`{|}", ch) != nullptr;
}

CString PercentEncode(const CString& url) {
    static const char kHex[] = "0123456789ABCDEF";
    CString encoded;
    for (int i = 0; i < url.GetLength(); ++i) {
        const unsigned char ch = static_cast<unsigned char>(url[i]);
        if (MustBeEncoded(ch) || (ch == '%' && !StartsPercentEscape(url, i))) {
            encoded += '%';
            encoded += kHex[ch >> 4];
            encoded += kHex[ch & 0x0F];
        } else {
            encoded += static_cast<char>(ch);
        }
    }
    return encoded;
}

// Replaces the first occurrence of placeholder in text by the address mark.
bool MarkPlaceholder(std::string& text, const char* placeholder) {
    const size_t at = text.find(placeholder);
    if (at == std::string::npos)
        return false;
    text.replace(at, std::strlen(placeholder), 1, kAddressMark);
    return true;
}

std::vector<std::string> SplitAtPercent(const std::string& text) {
    std::vector<std::string> pieces;
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find('%', start);
        if (end == std::string::npos)
            end = text.size();
        if (end > start)
            pieces.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return pieces;
}

// Expands %NAME% references the way the agent always has: the text is cut at every run of
// '%' into pieces that alternate between literal text and variable names, starting with
// literal text unless the line begins with a single '%'. A name followed by more text is
// replaced by the variable's value (nothing when it does not exist); a name at the very end
// is kept with its leading '%'. Every other '%' disappears. The address mark is template
// text like any other and stays where it is; a name holding it names no variable.
// False when the result would exceed the command line limit.
bool ExpandVariables(const std::string& text, EnvironmentLookup lookup, std::string& expanded) {
    const std::vector<std::string> pieces = SplitAtPercent(text);
    bool isName = text.size() > 1 && text[0] == '%' && text[1] != '%';
    expanded.clear();
    for (size_t i = 0; i < pieces.size(); ++i, isName = !isName) {
        const std::string& piece = pieces[i];
        if (!isName) {
            expanded += piece;
        } else if (i + 1 == pieces.size()) {
            expanded += '%';
            expanded += piece;
        } else {
            CString value;
            if (piece.find(kAddressMark) == std::string::npos && lookup(piece.c_str(), value))
                expanded += value.c_str();
        }
        if (expanded.size() > static_cast<size_t>(kMaxBrowserCommandLine))
            return false;
    }
    return true;
}

std::string InsertAddress(const std::string& line, const CString& address) {
    std::string result;
    for (char ch : line) {
        if (ch == kAddressMark)
            result += address.str();
        else
            result += ch;
    }
    return result;
}

} // namespace

BrowserCommandStatus PrepareWebAddress(const CString& url, CString& address) {
    // Browsers ignore blanks and control characters around an address; so do we, so that a
    // line end left on a stored address does not become part of it.
    const CString stripped = StripSurroundingControls(url);
    if (!IsWebAddress(stripped))
        return BrowserCommandStatus::NotWebAddress;
    CString encoded = PercentEncode(stripped);
    if (encoded.GetLength() > kMaxBrowserCommandLine)
        return BrowserCommandStatus::TooLong;
    address = encoded;
    return BrowserCommandStatus::Ok;
}

BrowserCommandStatus ComposeBrowserCommand(const CString& commandTemplate, const CString& url,
                                           EnvironmentLookup lookup, CString& commandLine) {
    CString address;
    const BrowserCommandStatus prepared = PrepareWebAddress(url, address);
    if (prepared != BrowserCommandStatus::Ok)
        return prepared;

    std::string line = commandTemplate.c_str();
    const bool markedFirst = MarkPlaceholder(line, "%1");
    const bool markedLong = MarkPlaceholder(line, "%L");
    if (!markedFirst && !markedLong) {
        line += ' ';
        line += kAddressMark;
    }

    std::string expanded;
    if (!ExpandVariables(line, lookup, expanded))
        return BrowserCommandStatus::TooLong;
    const std::string composed = InsertAddress(expanded, address);
    if (composed.size() > static_cast<size_t>(kMaxBrowserCommandLine))
        return BrowserCommandStatus::TooLong;
    commandLine = CString(composed);
    return BrowserCommandStatus::Ok;
}
