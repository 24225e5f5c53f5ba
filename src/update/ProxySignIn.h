#pragma once
// Signing in to a proxy that answers 407 with the user's Windows account. What the proxy
// offers is read by ReadProxyChallenge (Negotiate, then NTLM, then Basic); the tokens come
// from a security context: SSPI's in the Windows build (ProxySignInWin.cpp), behind an
// interface so that the exchange runs as well with another one.
#include "CString.h"
#include "ResponseParser.h"

#include <memory>
#include <string>

// One sign-in's security context.
class CSignInContext {
public:
    virtual ~CSignInContext() = default;
    // Takes the proxy's token (empty at first) and makes the next one to send: 1 when the
    // proxy is to answer with another token, 0 when this one is the last, -1 when none can
    // be made.
    virtual int Next(const std::string& received, std::string& token) = 0;
};

// A context for NTLM or Negotiate with the proxy's service name HTTP/<proxyHost>: with the
// stored user ("DOMAIN\user" or "user@REALM") and password, or, when user is empty, with the
// logged-on user's own credentials. Null when the credentials cannot be had.
using SignInStarter = std::unique_ptr<CSignInContext> (*)(SignInScheme scheme,
                                                          const CString& proxyHost,
                                                          const CString& user,
                                                          const CString& password);

// Through SSPI; the host build has none and always gives null.
std::unique_ptr<CSignInContext> StartWindowsSignIn(SignInScheme scheme, const CString& proxyHost,
                                                   const CString& user, const CString& password);
