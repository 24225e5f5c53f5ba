#pragma once
// The reasons a person can act on for the failures of HTTPS polls and of the proxy's
// tunnel, kept together so that each failure is worded once.
#include "fw/CString.h"

enum class Failure {
    None,
    UnknownScheme,         // detail: the stored scheme
    TlsHandshake,          // no common protocol, a broken or stalled handshake
    CertificateUntrusted,  // no chain to a trusted root, a self-signed or revoked one
    CertificateOtherName,  // valid, but not for the site's host name
    CertificateExpired,    // outside its validity period
    ProxyWantsCredentials, // the proxy answered CONNECT with 407
    ProxyRefusedTunnel,    // detail: the proxy's status line
};

CString FailureText(Failure failure, const CString& detail = CString());
