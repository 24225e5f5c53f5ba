// The HEAD reply parser, and the reader of a proxy's answer to CONNECT, on arbitrary bytes:
// they must not crash, and what they report must agree with the reply's text.
#include "update/ResponseParser.h"

#include <cstdint>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    CString response(reinterpret_cast<const char*>(data), static_cast<int>(size));
    CString lastModified;
    ResponseCheck check = ParseHeadResponseText(response, lastModified);
    if (check == ResponseCheck::Empty && !response.IsEmpty()) {
        std::abort();
    }
    if (!lastModified.IsEmpty()) {
        // A value is found only in a successful reply, stripped, and taken from its text.
        CString stripped = lastModified;
        if (check != ResponseCheck::Ok || stripped.Trim() != lastModified ||
            response.Find(lastModified) < 0) {
            std::abort();
        }
    }
    CString statusLine;
    if (ParseTunnelReply(response, statusLine) != TunnelReply::Incomplete &&
        response.Find(statusLine) != 0) {
        std::abort();
    }
    return 0;
}
