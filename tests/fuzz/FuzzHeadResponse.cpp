// The HEAD reply parser, and the reader of a proxy's answer to CONNECT, on arbitrary bytes:
// they must not crash, and what they report must agree with the reply's text. A refused
// reply's reason for people stays one printable line of bounded length, and its brief form
// fits the tooltip.
#include "PollFailure.h"
#include "ResponseParser.h"

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
    if (check == ResponseCheck::BadStatus) {
        PollFailure failure;
        failure.kind = size % 5 == 1 ? FailureKind::TunnelRefused : FailureKind::HttpStatus;
        failure.viaProxy = size % 2 == 1;
        failure.sentCredentials = size % 3 == 1;
        failure.host = "news.example";
        failure.port = 80;
        const int lineFeed = response.Find('\n');
        failure.statusLine = lineFeed < 0 ? response : response.Left(lineFeed);
        failure.answer = response;
        failure.siteUrl = "http://news.example/a/b";
        const FailureReason reason = DescribeFailure(failure);
        if (reason.text.IsEmpty() || reason.text.GetLength() > 400 ||
            reason.brief.GetLength() > 24) {
            std::abort();
        }
        for (int i = 0; i < reason.text.GetLength(); ++i) {
            const unsigned char ch = static_cast<unsigned char>(reason.text[i]);
            if (ch < 0x20 || ch == 0x7F) {
                std::abort();
            }
        }
    }
    return 0;
}
