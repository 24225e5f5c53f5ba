#include "update/FailureText.h"

CString FailureText(Failure failure, const CString& detail) {
    switch (failure) {
    case Failure::None:
        break;
    case Failure::UnknownScheme:
        return "unknown scheme \"" + detail + "\": the site's urlScheme must be http or https";
    case Failure::TlsHandshake:
        return "the TLS handshake failed";
    case Failure::CertificateUntrusted:
        return "the certificate is not trusted";
    case Failure::CertificateOtherName:
        return "the certificate is for another name";
    case Failure::CertificateExpired:
        return "the certificate has expired";
    case Failure::ProxyWantsCredentials:
        return "the proxy asked for a user name and password";
    case Failure::ProxyRefusedTunnel:
        return "the proxy refused the connection to the site: " + detail;
    }
    return CString();
}
