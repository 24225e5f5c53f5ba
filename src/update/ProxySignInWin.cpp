// Windows sign-in to a proxy through SSPI's NTLM and Negotiate packages in secur32, which is
// loaded on the first sign-in: an agent whose proxy never asks never maps it.
#include "ProxySignIn.h"

#include "SecurityWin.h"

namespace {

// MaxTokenSize can be set no higher.
constexpr ULONG kMostTokenBytes = 65535;

class CSspiSignIn : public CSignInContext {
public:
    CSspiSignIn(PSecurityFunctionTableA sspi, const CredHandle& credentials, const CString& target)
        : m_sspi(sspi), m_credentials(credentials), m_target(target) {}
    ~CSspiSignIn() override;
    CSspiSignIn(const CSspiSignIn&) = delete;
    CSspiSignIn& operator=(const CSspiSignIn&) = delete;

    int Next(const std::string& received, std::string& token) override;

private:
    PSecurityFunctionTableA m_sspi;
    CredHandle m_credentials;
    CtxtHandle m_context;
    bool m_haveContext = false;
    CString m_target;
};

CSspiSignIn::~CSspiSignIn() {
    if (m_haveContext) {
        m_sspi->DeleteSecurityContext(&m_context);
    }
    m_sspi->FreeCredentialsHandle(&m_credentials);
}

int CSspiSignIn::Next(const std::string& received, std::string& token) {
    SecBuffer in = {static_cast<ULONG>(received.size()), SECBUFFER_TOKEN,
                    const_cast<char*>(received.data())};
    SecBufferDesc inDesc = {SECBUFFER_VERSION, 1, &in};
    // The token goes into a buffer of ours, as large as Windows lets a token grow: Wine's
    // Kerberos cannot allocate it itself (ISC_REQ_ALLOCATE_MEMORY).
    token.assign(kMostTokenBytes, '\0');
    SecBuffer out = {kMostTokenBytes, SECBUFFER_TOKEN, &token[0]};
    SecBufferDesc outDesc = {SECBUFFER_VERSION, 1, &out};
    ULONG granted = 0;
    const SECURITY_STATUS status = m_sspi->InitializeSecurityContextA(
        &m_credentials, m_haveContext ? &m_context : nullptr, const_cast<char*>(m_target.c_str()),
        0, 0, SECURITY_NATIVE_DREP, m_haveContext ? &inDesc : nullptr, 0, &m_context, &outDesc,
        &granted, nullptr);
    const bool made = status == SEC_E_OK || status == SEC_I_CONTINUE_NEEDED;
    m_haveContext = m_haveContext || made;
    token.resize(made ? out.cbBuffer : 0);
    return made ? status == SEC_I_CONTINUE_NEEDED : -1;
}

} // namespace

std::unique_ptr<CSignInContext> StartWindowsSignIn(SignInScheme scheme, const CString& proxyHost,
                                                   const CString& user, const CString& password) {
    const PSecurityFunctionTableA sspi = SecurityFunctions();
    if (!sspi) {
        return nullptr;
    }
    // "DOMAIN\user" is split at the backslash; "user@REALM" is a whole user name.
    const int backslash = user.Find('\\');
    unsigned char* text = reinterpret_cast<unsigned char*>(const_cast<char*>(user.c_str()));
    SEC_WINNT_AUTH_IDENTITY_A identity = {
        text + backslash + 1,
        static_cast<unsigned long>(user.GetLength() - backslash - 1),
        text,
        static_cast<unsigned long>(backslash > 0 ? backslash : 0),
        reinterpret_cast<unsigned char*>(const_cast<char*>(password.c_str())),
        static_cast<unsigned long>(password.GetLength()),
        SEC_WINNT_AUTH_IDENTITY_ANSI};
    CredHandle credentials;
    TimeStamp expiry;
    // Without an identity the package takes the logged-on user's own credentials.
    if (sspi->AcquireCredentialsHandleA(nullptr, const_cast<char*>(SchemeName(scheme)),
                                        SECPKG_CRED_OUTBOUND, nullptr,
                                        user.IsEmpty() ? nullptr : &identity, nullptr, nullptr,
                                        &credentials, &expiry) != SEC_E_OK) {
        return nullptr;
    }
    return std::unique_ptr<CSignInContext>(new CSspiSignIn(sspi, credentials, "HTTP/" + proxyHost));
}
