// The host build has no Windows account to sign in with.
#include "ProxySignIn.h"

std::unique_ptr<CSignInContext> StartWindowsSignIn(SignInScheme, const CString&, const CString&,
                                                   const CString&) {
    return nullptr;
}
