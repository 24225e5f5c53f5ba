#include "WebAddress.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

bool IsLetter(char ch) {
    return (ch >= 'a' && ch <= 'z') || (ch >= 'A' && ch <= 'Z');
}

// The length of the scheme at the start of url ("http" of "http://x"), 0 when it has none:
// a letter, then letters, digits, "+", "-" or ".", up to a ":".
int SchemeLength(const CString& url) {
    for (int i = 0; i < url.GetLength(); ++i) {
        const char ch = url[i];
        if (ch == ':')
            return i;
        const bool other = (ch >= '0' && ch <= '9') || ch == '+' || ch == '-' || ch == '.';
        if (!IsLetter(ch) && (i == 0 || !other))
            return 0;
    }
    return 0;
}

} // namespace

CString StripSurroundingControls(const CString& url) {
    int first = 0;
    int end = url.GetLength();
    while (first < end && static_cast<unsigned char>(url[first]) <= 0x20)
        ++first;
    while (end > first && static_cast<unsigned char>(url[end - 1]) <= 0x20)
        --end;
    return url.Mid(first, end - first);
}

bool IsWebAddress(const CString& url) {
    const CString stripped = StripSurroundingControls(url);
    return stripped.Left(7).CompareNoCase("http://") == 0 ||
           stripped.Left(8).CompareNoCase("https://") == 0;
}

CString ResolveReference(const CString& base, const CString& reference) {
    const std::string& from = base.str();
    const std::string& to = reference.str();
    const size_t scheme = static_cast<size_t>(SchemeLength(base));
    if (scheme == 0 || SchemeLength(reference) > 0)
        return reference;
    // base is scheme ":" ["//" authority] path ["?" query] ["#" fragment]; reference keeps
    // the parts of base before the first part it has itself.
    const size_t path = std::min(from.size(), from.compare(scheme + 1, 2, "//") == 0
                                                  ? from.find_first_of("/?#", scheme + 3)
                                                  : scheme + 1);
    const bool relativePath = !to.empty() && !std::strchr("/?#", to[0]);
    const size_t kept = to.compare(0, 2, "//") == 0  ? scheme + 1
                        : to[0] == '/'               ? path
                        : to[0] == '#' || to.empty() ? from.find('#')
                                                     : from.find_first_of("?#", path);
    std::string resolved = from.substr(0, kept);
    if (relativePath) {
        // The relative path replaces the last segment of base's path ("/" when it has none).
        const size_t slash = resolved.rfind('/');
        resolved.erase(slash == std::string::npos || slash < path ? path : slash + 1);
        if (resolved.size() == path)
            resolved += '/';
    }
    return CString(resolved + to);
}
