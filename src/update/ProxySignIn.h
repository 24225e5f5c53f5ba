#pragma once
// Signing in to a proxy that answers 407 with the user's Windows account: which of the
// schemes its Proxy-Authenticate lines offer the agent takes (Negotiate, then NTLM, then
// Basic), and the token that comes with it. The tokens themselves come from a security
// context: SSPI's in the Windows build (ProxySignInWin.cpp), behind an interface so that the
// exchange runs as well with another one.
#include "CString.h"

#include <memory>
#include <string>

// In the order of preference, the most wanted last.
enum class SignInScheme { None, Basic, Ntlm, Negotiate };

struct ProxyChallenge {
    SignInScheme scheme = SignInScheme::None; // the most wanted offer that the agent knows
    CString token;   // NTLM, Negotiate: the Base64 token of that offer; empty when it has none
    CString unknown; // the first scheme offered, when the agent knows none of them
};

// Whether the answer's status is 407 Proxy Authentication Required.
bool AsksForProxySignIn(const CString& answer);

// Reads every Proxy-Authenticate line of the answer's head, each with one offer or several
// separated by commas ("NTLM", "Negotiate <token>", "Basic realm=\"a, b\"").
ProxyChallenge ReadProxyChallenge(const CString& answer);

// The name of a known scheme, as headers and SSPI write it: "Basic", "NTLM", "Negotiate".
const char* SchemeName(SignInScheme scheme);

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
