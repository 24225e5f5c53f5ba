#pragma once
// Web addresses as the agent handles them: which ones it keeps and opens, and how a
// relative address is made absolute.
#include "CString.h"

// The address without the blanks and control characters around it, which browsers ignore.
CString StripSurroundingControls(const CString& url);

// Whether url, without the blanks and control characters around it, starts with http:// or
// https:// in any case: the only addresses the agent keeps and opens.
bool IsWebAddress(const CString& url);

// reference made absolute against the absolute address base, as a browser resolves a link:
// "//host/x", "/x", "?q" and "#f" take the parts of base before their own, a relative path
// "x" replaces the last segment of base's path, and an address with a scheme of its own is
// kept as it is. Without a scheme in base, reference is kept as it is too. "." and ".."
// segments are left for the browser, which removes them when it opens the address.
CString ResolveReference(const CString& base, const CString& reference);
