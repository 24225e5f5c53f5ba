// TLS over the agent's own socket through the system's Schannel (SSPI in secur32) with the
// certificate checks of crypt32. These DLLs are loaded on the first HTTPS poll, so an agent
// that polls over plain HTTP never maps them.
#define SECURITY_WIN32
#include "ClientSocket.h"

#include "SystemLibraryWin.h"

#include <windows.h>

#include <schannel.h>
#include <security.h>
#include <wincrypt.h>

#include <algorithm>
#include <cstring>
#include <string>

namespace {

template <typename Function> Function* Crypt32(const char* name) {
    return SystemFunctionOf<Function>("crypt32.dll", name);
}

FailureKind CertificateFailure(DWORD policyError) {
    switch (policyError) {
    case 0:
        return FailureKind::None;
    case static_cast<DWORD>(CERT_E_EXPIRED):
        return FailureKind::CertificateExpired;
    case static_cast<DWORD>(CERT_E_CN_NO_MATCH):
        return FailureKind::CertificateOtherName;
    default:
        return FailureKind::CertificateUntrusted;
    }
}

class CTlsSession : public CSecureLayer {
public:
    CTlsSession(CClientSocket& socket) : m_socket(socket) {}
    ~CTlsSession() override;
    CTlsSession(const CTlsSession&) = delete;
    CTlsSession& operator=(const CTlsSession&) = delete;

    FailureKind Open(const char* serverName);
    int Send(const char* data, int length) override;
    int Receive(CString& received) override;

private:
    // Runs the handshake, from the start or again when the server renegotiates, until the
    // session is up with the protection it must have.
    bool Handshake();
    // The context's granted attributes: records encrypted, checked against replay and reorder
    // (which is their integrity), and a stream.
    static bool IsProtected(ULONG granted);
    // The handshake again at the server's request, on the bytes that followed its message.
    bool Renegotiate();
    bool NegotiatedTls12OrLater();
    FailureKind CheckCertificate();
    // Hands the decrypted bytes of DecryptMessage's buffers to received and keeps what
    // followed the record for the next call: the count of bytes, or -1 beyond the cap.
    int TakeDecrypted(SecBuffer (&buffers)[4], CString& received);
    // Appends one read to the bytes not yet decrypted: the count, 0 when the server has
    // closed, -1 on failure, timeout or beyond the cap.
    int ReadMore();
    // Keeps only what follows the message just handled: the EXTRA buffer's bytes.
    void KeepExtra(const SecBuffer& buffer);

    CClientSocket& m_socket;
    std::string m_serverName;
    PSecurityFunctionTableA m_sspi = nullptr;
    CredHandle m_credentials;
    CtxtHandle m_context;
    bool m_haveCredentials = false;
    bool m_haveContext = false;
    SecPkgContext_StreamSizes m_sizes;
    std::string m_input;
};

CTlsSession::~CTlsSession() {
    if (m_haveContext) {
        m_sspi->DeleteSecurityContext(&m_context);
    }
    if (m_haveCredentials) {
        m_sspi->FreeCredentialsHandle(&m_credentials);
    }
}

FailureKind CTlsSession::Open(const char* serverName) {
    m_serverName = serverName;
    auto init =
        SystemFunctionOf<PSecurityFunctionTableA WINAPI()>("secur32.dll", "InitSecurityInterfaceA");
    m_sspi = init ? init() : nullptr;
    if (!m_sspi) {
        return FailureKind::TlsHandshake;
    }
    // SCHANNEL_CRED rather than the newer SCH_CREDENTIALS, which Windows 7 lacks; through it
    // TLS 1.3 cannot be asked for, so TLS 1.2 is the one protocol offered. The certificate is
    // checked by hand below, against the site's name and the root store.
    SCHANNEL_CRED credentials;
    std::memset(&credentials, 0, sizeof credentials);
    credentials.dwVersion = SCHANNEL_CRED_VERSION;
    credentials.grbitEnabledProtocols = SP_PROT_TLS1_2_CLIENT;
    // Strong cryptography only: no RC4, no 3DES, no keys that are too short.
    credentials.dwFlags =
        SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS | SCH_USE_STRONG_CRYPTO;
    TimeStamp expiry;
    if (m_sspi->AcquireCredentialsHandleA(nullptr, const_cast<char*>(UNISP_NAME_A),
                                          SECPKG_CRED_OUTBOUND, nullptr, &credentials, nullptr,
                                          nullptr, &m_credentials, &expiry) != SEC_E_OK) {
        return FailureKind::TlsHandshake;
    }
    m_haveCredentials = true;
    if (!Handshake()) {
        return FailureKind::TlsHandshake;
    }
    return CheckCertificate();
}

bool CTlsSession::IsProtected(ULONG granted) {
    const ULONG needed =
        ISC_RET_CONFIDENTIALITY | ISC_RET_REPLAY_DETECT | ISC_RET_SEQUENCE_DETECT | ISC_RET_STREAM;
    return (granted & needed) == needed;
}

bool CTlsSession::Handshake() {
    const ULONG wanted = ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_CONFIDENTIALITY |
                         ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_STREAM;
    bool needInput = false;
    bool credentialsAsked = false;
    for (;;) {
        if (needInput && ReadMore() <= 0) {
            return false;
        }
        SecBuffer in[2] = {{static_cast<ULONG>(m_input.size()), SECBUFFER_TOKEN, &m_input[0]},
                           {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDesc = {SECBUFFER_VERSION, 2, in};
        SecBuffer out[1] = {{0, SECBUFFER_TOKEN, nullptr}};
        SecBufferDesc outDesc = {SECBUFFER_VERSION, 1, out};
        ULONG granted = 0;
        // The first call names the server (SNI) and makes the context; later ones feed it
        // the server's messages.
        SECURITY_STATUS status = m_sspi->InitializeSecurityContextA(
            &m_credentials, m_haveContext ? &m_context : nullptr, &m_serverName[0], wanted, 0, 0,
            m_haveContext ? &inDesc : nullptr, 0, &m_context, &outDesc, &granted, nullptr);
        bool first = !m_haveContext;
        if (first && (status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK)) {
            m_haveContext = true;
        }
        if (out[0].pvBuffer) {
            int sent = out[0].cbBuffer
                           ? m_socket.SendBytes(static_cast<const char*>(out[0].pvBuffer),
                                                static_cast<int>(out[0].cbBuffer))
                           : 0;
            m_sspi->FreeContextBuffer(out[0].pvBuffer);
            if (sent < 0) {
                return false;
            }
        }
        if (status == SEC_E_INCOMPLETE_MESSAGE) {
            needInput = true;
            continue;
        }
        // The server asks for a client certificate, which the agent has none of: called again
        // on the same input, Schannel goes on without one.
        if (status == SEC_I_INCOMPLETE_CREDENTIALS && !credentialsAsked) {
            credentialsAsked = true;
            needInput = false;
            continue;
        }
        if (status != SEC_E_OK && status != SEC_I_CONTINUE_NEEDED) {
            return false;
        }
        if (!first) {
            KeepExtra(in[1]);
        }
        if (status == SEC_E_OK) {
            // Nothing is sent before the session is known to protect it.
            return IsProtected(granted) && NegotiatedTls12OrLater() &&
                   m_sspi->QueryContextAttributesA(&m_context, SECPKG_ATTR_STREAM_SIZES,
                                                   &m_sizes) == SEC_E_OK;
        }
        needInput = m_input.empty();
    }
}

bool CTlsSession::Renegotiate() {
    return Handshake() && CheckCertificate() == FailureKind::None;
}

bool CTlsSession::NegotiatedTls12OrLater() {
    // Checked again after the handshake: the protocol is what the session really uses,
    // whatever the credentials asked for.
    SecPkgContext_ConnectionInfo info;
    std::memset(&info, 0, sizeof info);
    if (m_sspi->QueryContextAttributesA(&m_context, SECPKG_ATTR_CONNECTION_INFO, &info) !=
        SEC_E_OK) {
        return false;
    }
    return (info.dwProtocol & (SP_PROT_TLS1_2_CLIENT | SP_PROT_TLS1_3_CLIENT)) != 0;
}

FailureKind CTlsSession::CheckCertificate() {
    auto getChain = Crypt32<decltype(CertGetCertificateChain)>("CertGetCertificateChain");
    auto verify =
        Crypt32<decltype(CertVerifyCertificateChainPolicy)>("CertVerifyCertificateChainPolicy");
    auto freeChain = Crypt32<decltype(CertFreeCertificateChain)>("CertFreeCertificateChain");
    auto freeCertificate =
        Crypt32<decltype(CertFreeCertificateContext)>("CertFreeCertificateContext");
    if (!getChain || !verify || !freeChain || !freeCertificate) {
        return FailureKind::CertificateUntrusted;
    }
    // A host name has at most 253 characters; a longer one, which the conversion refuses for
    // want of room, matches no certificate.
    WCHAR name[256];
    if (!MultiByteToWideChar(CP_ACP, 0, m_serverName.c_str(), -1, name, 256)) {
        return FailureKind::CertificateOtherName;
    }
    PCCERT_CONTEXT certificate = nullptr;
    if (m_sspi->QueryContextAttributesA(&m_context, SECPKG_ATTR_REMOTE_CERT_CONTEXT,
                                        &certificate) != SEC_E_OK ||
        !certificate) {
        return FailureKind::CertificateUntrusted;
    }
    char serverAuth[] = szOID_PKIX_KP_SERVER_AUTH;
    char* usages[] = {serverAuth};
    CERT_CHAIN_PARA chainPara;
    std::memset(&chainPara, 0, sizeof chainPara);
    chainPara.cbSize = sizeof chainPara;
    chainPara.RequestedUsage.dwType = USAGE_MATCH_TYPE_OR;
    chainPara.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainPara.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    // Missing issuers are not fetched: a slow or unreachable server would stall the poll.
    const DWORD chainFlags = CERT_CHAIN_CACHE_ONLY_URL_RETRIEVAL;
    FailureKind result = FailureKind::CertificateUntrusted;
    PCCERT_CHAIN_CONTEXT chain = nullptr;
    if (getChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainPara, chainFlags,
                 nullptr, &chain)) {
        SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl;
        std::memset(&ssl, 0, sizeof ssl);
        ssl.cbSize = sizeof ssl;
        ssl.dwAuthType = AUTHTYPE_SERVER;
        ssl.pwszServerName = name;
        CERT_CHAIN_POLICY_PARA policy;
        std::memset(&policy, 0, sizeof policy);
        policy.cbSize = sizeof policy;
        policy.pvExtraPolicyPara = &ssl;
        CERT_CHAIN_POLICY_STATUS status;
        std::memset(&status, 0, sizeof status);
        status.cbSize = sizeof status;
        if (verify(CERT_CHAIN_POLICY_SSL, chain, &policy, &status)) {
            result = CertificateFailure(status.dwError);
        }
        // Wine's policy passes a chain that ends at no root at all, so the chain's own
        // verdict counts as well.
        DWORD chainErrors = chain->TrustStatus.dwErrorStatus;
        if (result == FailureKind::None && chainErrors != CERT_TRUST_NO_ERROR) {
            result = chainErrors & CERT_TRUST_IS_NOT_TIME_VALID ? FailureKind::CertificateExpired
                                                                : FailureKind::CertificateUntrusted;
        }
        freeChain(chain);
    }
    // Revocation only as far as the system already knows it: fetching lists could stall the
    // poll. A separate chain, since an unknown state must not fail the check, and Wine's
    // policy ignores the flags that would say so. crypt32 loads the revocation provider for
    // each check and unloads it afterwards; kept loaded, a check takes a few milliseconds
    // instead of tens.
    if (result == FailureKind::None) {
        SystemFunction("cryptnet.dll", "CertDllVerifyRevocation");
    }
    if (result == FailureKind::None &&
        getChain(nullptr, certificate, nullptr, certificate->hCertStore, &chainPara,
                 chainFlags | CERT_CHAIN_REVOCATION_CHECK_CHAIN_EXCLUDE_ROOT |
                     CERT_CHAIN_REVOCATION_CHECK_CACHE_ONLY,
                 nullptr, &chain)) {
        if (chain->TrustStatus.dwErrorStatus & CERT_TRUST_IS_REVOKED) {
            result = FailureKind::CertificateUntrusted;
        }
        freeChain(chain);
    }
    freeCertificate(certificate);
    return result;
}

int CTlsSession::Send(const char* data, int length) {
    std::string record;
    int sent = 0;
    while (sent < length) {
        ULONG chunk = std::min<ULONG>(static_cast<ULONG>(length - sent), m_sizes.cbMaximumMessage);
        record.assign(m_sizes.cbHeader + chunk + m_sizes.cbTrailer, '\0');
        std::memcpy(&record[m_sizes.cbHeader], data + sent, chunk);
        SecBuffer buffers[4] = {
            {m_sizes.cbHeader, SECBUFFER_STREAM_HEADER, &record[0]},
            {chunk, SECBUFFER_DATA, &record[m_sizes.cbHeader]},
            {m_sizes.cbTrailer, SECBUFFER_STREAM_TRAILER, &record[m_sizes.cbHeader + chunk]},
            {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
        if (m_sspi->EncryptMessage(&m_context, 0, &desc, 0) != SEC_E_OK) {
            return -1;
        }
        int size =
            static_cast<int>(buffers[0].cbBuffer + buffers[1].cbBuffer + buffers[2].cbBuffer);
        if (m_socket.SendBytes(record.data(), size) < 0) {
            return -1;
        }
        sent += static_cast<int>(chunk);
    }
    return sent;
}

int CTlsSession::Receive(CString& received) {
    // Wine's Schannel hands on the server's close_notify as a record without data instead of
    // SEC_I_CONTEXT_EXPIRED; a close right after such a record was announced too.
    bool lastRecordEmpty = false;
    for (;;) {
        if (!m_input.empty()) {
            SecBuffer buffers[4] = {
                {static_cast<ULONG>(m_input.size()), SECBUFFER_DATA, &m_input[0]},
                {0, SECBUFFER_EMPTY, nullptr},
                {0, SECBUFFER_EMPTY, nullptr},
                {0, SECBUFFER_EMPTY, nullptr}};
            SecBufferDesc desc = {SECBUFFER_VERSION, 4, buffers};
            SECURITY_STATUS status = m_sspi->DecryptMessage(&m_context, &desc, 0, nullptr);
            if (status == SEC_E_OK || status == SEC_I_RENEGOTIATE) {
                const int count = TakeDecrypted(buffers, received);
                if (count < 0) {
                    return m_socket.Fail(SocketFailure::TooLarge);
                }
                lastRecordEmpty = count == 0;
                if (status == SEC_I_RENEGOTIATE && !Renegotiate()) {
                    return -1;
                }
                continue;
            }
            // The server's close_notify ends the response as a closed connection does.
            if (status == SEC_I_CONTEXT_EXPIRED) {
                return 0;
            }
            if (status != SEC_E_INCOMPLETE_MESSAGE) {
                return -1;
            }
        }
        int count = ReadMore();
        if (count < 0) {
            return -1;
        }
        if (count == 0) {
            // A connection that ends inside a record has cut the response short; one that ends
            // between records without close_notify may have.
            if (!m_input.empty()) {
                return -1;
            }
            return lastRecordEmpty ? 0 : 1;
        }
    }
}

int CTlsSession::TakeDecrypted(SecBuffer (&buffers)[4], CString& received) {
    std::string extra;
    int taken = 0;
    for (const SecBuffer& buffer : buffers) {
        const char* bytes = static_cast<const char*>(buffer.pvBuffer);
        int count = static_cast<int>(buffer.cbBuffer);
        if (buffer.BufferType == SECBUFFER_DATA) {
            if (received.GetLength() + count > m_socket.Limits().maxResponseBytes) {
                return -1;
            }
            received.Append(bytes, count);
            taken += count;
        } else if (buffer.BufferType == SECBUFFER_EXTRA) {
            extra.assign(bytes, static_cast<size_t>(count));
        }
    }
    // On renegotiation the bytes after the server's request are the handshake's input.
    m_input.swap(extra);
    return taken;
}

int CTlsSession::ReadMore() {
    char buffer[16384];
    int count = m_socket.ReceiveSome(buffer, sizeof buffer);
    if (count <= 0) {
        return count;
    }
    if (m_input.size() + static_cast<size_t>(count) >
        static_cast<size_t>(m_socket.Limits().maxResponseBytes)) {
        return m_socket.Fail(SocketFailure::TooLarge);
    }
    m_input.append(buffer, static_cast<size_t>(count));
    return count;
}

void CTlsSession::KeepExtra(const SecBuffer& buffer) {
    if (buffer.BufferType == SECBUFFER_EXTRA && buffer.cbBuffer > 0 &&
        buffer.cbBuffer <= m_input.size()) {
        m_input.erase(0, m_input.size() - buffer.cbBuffer);
    } else {
        m_input.clear();
    }
}

} // namespace

FailureKind CClientSocket::StartTls(const char* serverName) {
    std::unique_ptr<CTlsSession> session(new CTlsSession(*this));
    FailureKind failure = session->Open(serverName);
    if (failure == FailureKind::None) {
        m_secure = std::move(session);
    }
    return failure;
}
