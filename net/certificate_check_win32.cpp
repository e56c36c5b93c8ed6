#include "net/certificate_check.h"

#include "net/http_request.h"
#include "net/resolve.h"
#include "net/socket_api.h"
#include "platform/socket_library.h"

#include <windows.h>
#include <wincrypt.h>
#define SECURITY_WIN32
#include <schannel.h>
#include <security.h>

#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// A TLS handshake takes a few rounds; a server that needs more is not one.
constexpr int MAX_HANDSHAKE_ROUNDS = 16;
constexpr std::size_t RECEIVE_STEP = 16384;
constexpr ULONG CONTEXT_REQUEST = ISC_REQ_ALLOCATE_MEMORY | ISC_REQ_CONFIDENTIALITY |
                                  ISC_REQ_SEQUENCE_DETECT | ISC_REQ_REPLAY_DETECT | ISC_REQ_STREAM |
                                  ISC_REQ_MANUAL_CRED_VALIDATION;
char SERVER_AUTHENTICATION[] = szOID_PKIX_KP_SERVER_AUTH;

struct Credentials {
    Credentials() {
        SCHANNEL_CRED settings{};
        settings.dwVersion = SCHANNEL_CRED_VERSION;
        settings.dwFlags = SCH_CRED_MANUAL_CRED_VALIDATION | SCH_CRED_NO_DEFAULT_CREDS;
        char package[] = UNISP_NAME_A;
        m_ok = AcquireCredentialsHandleA(nullptr, package, SECPKG_CRED_OUTBOUND, nullptr, &settings,
                                         nullptr, nullptr, &m_handle, nullptr) == SEC_E_OK;
    }
    ~Credentials() {
        if (m_ok) {
            FreeCredentialsHandle(&m_handle);
        }
    }
    Credentials(const Credentials&) = delete;
    Credentials& operator=(const Credentials&) = delete;
    CredHandle m_handle{};
    bool m_ok = false;
};

struct Context {
    Context() = default;
    ~Context() {
        if (m_ok) {
            DeleteSecurityContext(&m_handle);
        }
    }
    Context(const Context&) = delete;
    Context& operator=(const Context&) = delete;
    CtxtHandle m_handle{};
    bool m_ok = false;
};

struct CertificateFree {
    void operator()(PCCERT_CONTEXT certificate) const { CertFreeCertificateContext(certificate); }
};
using Certificate = std::unique_ptr<const CERT_CONTEXT, CertificateFree>;

struct ChainFree {
    void operator()(PCCERT_CHAIN_CONTEXT chain) const { CertFreeCertificateChain(chain); }
};
using Chain = std::unique_ptr<const CERT_CHAIN_CONTEXT, ChainFree>;

// Every wait of the check is bounded by its end alone.
constexpr std::chrono::milliseconds NO_STEP_LIMIT = std::chrono::milliseconds::max();

// The time left until `end`, none once it has passed.
std::chrono::milliseconds Left(Clock::time_point end) {
    return net::WaitLimit(NO_STEP_LIMIT, end);
}

// Appends what the server sends next to `input`.
bool ReceiveMore(const net::Socket& socket, std::string& input, Clock::time_point end) {
    for (;;) {
        if (net::WaitReadable(socket, Left(end)) != 0) {
            return false;
        }
        const std::size_t had = input.size();
        input.resize(had + RECEIVE_STEP);
        const long long count = net::ReceiveSome(socket, &input[had], RECEIVE_STEP);
        input.resize(had + (count > 0 ? static_cast<std::size_t>(count) : 0));
        if (count > 0) {
            return true;
        }
        if (count == 0 || !net::IsTransient(net::LastSocketError())) {
            return false;
        }
    }
}

// Runs the client's side of the handshake on `socket` until it is complete.
bool Handshake(const net::Socket& socket, const std::string& host, Credentials& credentials,
               Context& context, Clock::time_point end) {
    std::string input;
    for (int round = 0; round < MAX_HANDSHAKE_ROUNDS; ++round) {
        SecBuffer in[2] = {{static_cast<ULONG>(input.size()), SECBUFFER_TOKEN, &input[0]},
                           {0, SECBUFFER_EMPTY, nullptr}};
        SecBufferDesc inDescription{SECBUFFER_VERSION, 2, in};
        SecBuffer out{0, SECBUFFER_TOKEN, nullptr};
        SecBufferDesc outDescription{SECBUFFER_VERSION, 1, &out};
        ULONG attributes = 0;
        const SECURITY_STATUS status = InitializeSecurityContextA(
            &credentials.m_handle, context.m_ok ? &context.m_handle : nullptr,
            const_cast<char*>(host.c_str()), CONTEXT_REQUEST, 0, 0,
            context.m_ok ? &inDescription : nullptr, 0, &context.m_handle, &outDescription,
            &attributes, nullptr);
        context.m_ok = context.m_ok || status == SEC_I_CONTINUE_NEEDED || status == SEC_E_OK;
        const bool sent =
            out.pvBuffer == nullptr ||
            net::SendAll(socket,
                         std::string_view(static_cast<const char*>(out.pvBuffer), out.cbBuffer),
                         NO_STEP_LIMIT, end) == 0;
        if (out.pvBuffer != nullptr) {
            FreeContextBuffer(out.pvBuffer);
        }
        if (!sent) {
            return false;
        }
        if (status == SEC_E_OK) {
            return true;
        }
        if (status == SEC_I_CONTINUE_NEEDED) {
            input.erase(0, in[1].BufferType == SECBUFFER_EXTRA ? input.size() - in[1].cbBuffer
                                                               : input.size());
        } else if (status != SEC_E_INCOMPLETE_MESSAGE) {
            return false;
        }
        if ((input.empty() || status == SEC_E_INCOMPLETE_MESSAGE) &&
            !ReceiveMore(socket, input, end)) {
            return false;
        }
    }
    return false;
}

// What the chain built for the certificate says by itself: a chain that
// ends at no trusted root (also one whose issuer is unknown: a partial chain)
// is not trusted, one with a certificate out of its validity has expired.
FetchFailure FromChainStatus(DWORD status) {
    constexpr DWORD UNTRUSTED = CERT_TRUST_IS_PARTIAL_CHAIN | CERT_TRUST_IS_UNTRUSTED_ROOT |
                                CERT_TRUST_IS_NOT_SIGNATURE_VALID | CERT_TRUST_IS_CYCLIC;
    constexpr DWORD OUT_OF_DATE = CERT_TRUST_IS_NOT_TIME_VALID | CERT_TRUST_IS_NOT_TIME_NESTED;
    if ((status & UNTRUSTED) != 0) {
        return FetchFailure::CertUntrusted;
    }
    if ((status & OUT_OF_DATE) != 0) {
        return FetchFailure::CertExpired;
    }
    return FetchFailure::None;
}

// The SSL policy's verdict; nothing found wrong is no reason: WinHTTP
// refused the certificate, so the failure stays unexplained.
FetchFailure FromPolicyError(LONG error) {
    switch (error) {
        case CERT_E_UNTRUSTEDROOT:
        case CERT_E_CHAINING:
        case TRUST_E_CERT_SIGNATURE:
            return FetchFailure::CertUntrusted;
        case CERT_E_EXPIRED:
        case CERT_E_VALIDITYPERIODNESTING:
            return FetchFailure::CertExpired;
        case CERT_E_CN_NO_MATCH:
            return FetchFailure::CertWrongName;
        default:
            return FetchFailure::SecureFailed;
    }
}

// The system's verdict on `certificate` for a TLS server named `host`.
FetchFailure CheckForServer(PCCERT_CONTEXT certificate, const std::string& host) {
    CERT_CHAIN_PARA chainParameters{};
    chainParameters.cbSize = sizeof chainParameters;
    char* usages[] = {SERVER_AUTHENTICATION};
    chainParameters.RequestedUsage.dwType = USAGE_MATCH_TYPE_AND;
    chainParameters.RequestedUsage.Usage.cUsageIdentifier = 1;
    chainParameters.RequestedUsage.Usage.rgpszUsageIdentifier = usages;
    PCCERT_CHAIN_CONTEXT chainContext = nullptr;
    if (!CertGetCertificateChain(nullptr, certificate, nullptr, certificate->hCertStore,
                                 &chainParameters, 0, nullptr, &chainContext)) {
        return FetchFailure::SecureFailed;
    }
    const Chain chain(chainContext);
    // Wine's SSL policy passes a partial chain: the chain's own status is
    // judged first.
    const FetchFailure fromChain = FromChainStatus(chain->TrustStatus.dwErrorStatus);
    if (fromChain != FetchFailure::None) {
        return fromChain;
    }
    std::wstring serverName(host.begin(), host.end());
    SSL_EXTRA_CERT_CHAIN_POLICY_PARA ssl{};
    ssl.cbSize = sizeof ssl;
    ssl.dwAuthType = AUTHTYPE_SERVER;
    ssl.pwszServerName = &serverName[0];
    CERT_CHAIN_POLICY_PARA policy{};
    policy.cbSize = sizeof policy;
    policy.pvExtraPolicyPara = &ssl;
    CERT_CHAIN_POLICY_STATUS status{};
    status.cbSize = sizeof status;
    if (!CertVerifyCertificateChainPolicy(CERT_CHAIN_POLICY_SSL, chain.get(), &policy, &status)) {
        return FetchFailure::SecureFailed;
    }
    return FromPolicyError(static_cast<LONG>(status.dwError));
}

}  // namespace

FetchFailure CheckServerCertificate(const std::string& host, std::uint16_t port,
                                    std::chrono::steady_clock::time_point end) {
    std::vector<sockaddr_in> addresses;
    if (!platform::StartSocketLibrary() || !IsValidHostName(host) ||
        ResolveHost(host, port, end, addresses) != ResolveResult::Found) {
        return FetchFailure::SecureFailed;
    }
    const net::Socket socket = net::OpenTcpSocket();
    Credentials credentials;
    Context context;
    if (!socket.IsValid() || !credentials.m_ok ||
        net::Connect(socket, addresses.front(), Left(end)) != 0 ||
        !Handshake(socket, host, credentials, context, end)) {
        return FetchFailure::SecureFailed;
    }
    PCCERT_CONTEXT remote = nullptr;
    if (QueryContextAttributesA(&context.m_handle, SECPKG_ATTR_REMOTE_CERT_CONTEXT, &remote) !=
            SEC_E_OK ||
        remote == nullptr) {
        return FetchFailure::SecureFailed;
    }
    const Certificate certificate(remote);
    return CheckForServer(certificate.get(), host);
}
