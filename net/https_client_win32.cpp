#include "net/https_client.h"

#include "net/ascii.h"
#include "net/certificate_check.h"
#include "net/http_reply.h"
#include "platform/system.h"

#include <windows.h>
#include <winhttp.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <type_traits>
#include <utility>

namespace {

using Clock = std::chrono::steady_clock;

constexpr wchar_t USER_AGENT[] = L"Norvale/1.0";
constexpr wchar_t METHOD[] = L"GET";
// Neither a redirect followed, nor a cookie kept or sent, nor a credential
// offered. Only the first is indispensable.
constexpr DWORD DISABLED_FEATURES =
    WINHTTP_DISABLE_REDIRECTS | WINHTTP_DISABLE_COOKIES | WINHTTP_DISABLE_AUTHENTICATION;
constexpr DWORD REQUIRED_DISABLED_FEATURES = WINHTTP_DISABLE_REDIRECTS;
constexpr DWORD TLS_1_2 = WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_2;
constexpr DWORD TLS_1_2_AND_LATER = TLS_1_2 | WINHTTP_FLAG_SECURE_PROTOCOL_TLS1_3;
constexpr char TIME_LIMIT_LINE[] = "https failed (time limit)\n";
constexpr std::string_view TRANSFER_ENCODING = "transfer-encoding:";

struct HandleCloser {
    void operator()(HINTERNET handle) const { WinHttpCloseHandle(handle); }
};
using Handle = std::unique_ptr<std::remove_pointer_t<HINTERNET>, HandleCloser>;

// One exchange; its failure, and the line that says why.
struct Outcome {
    FetchFailure failure = FetchFailure::None;
    std::string line;
};

// What the thread that runs one exchange shares with the fetch that waits
// for it. A fetch that has waited its time limit closes the open request,
// which makes a blocked WinHTTP call on it return (on Windows) and every
// later one fail at once, and returns without waiting any longer; the
// thread then ends by itself, holding this state until it does.
struct SharedExchange {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    std::atomic<bool> abandoned{false};
    HINTERNET request = nullptr;  // the open request, while there is one
    std::string reply;
    Outcome outcome;

    // The fetch gives up: closes the request unless the exchange has.
    void Abandon() {
        abandoned = true;
        if (request != nullptr) {
            WinHttpCloseHandle(request);
            request = nullptr;
        }
    }
};

// The exchange's request handle, known to the waiting fetch while it is
// open, and closed by whichever of the two comes first.
class SharedRequest {
public:
    SharedRequest(Handle request, SharedExchange& shared) : m_shared(shared) {
        const std::lock_guard<std::mutex> lock(m_shared.mutex);
        if (!m_shared.abandoned) {
            m_handle = request.release();
            m_shared.request = m_handle;
        }
    }
    ~SharedRequest() {
        const std::lock_guard<std::mutex> lock(m_shared.mutex);
        if (m_shared.request != nullptr) {
            WinHttpCloseHandle(m_shared.request);
            m_shared.request = nullptr;
        }
    }
    SharedRequest(const SharedRequest&) = delete;
    SharedRequest& operator=(const SharedRequest&) = delete;

    // The handle to use; once the fetch has closed it, calls on it fail.
    HINTERNET Get() const { return m_handle; }

private:
    SharedExchange& m_shared;
    HINTERNET m_handle = nullptr;
};

// Why the last secure connection failed, as WinHTTP's status callback saw it.
// Windows reports a refused certificate as ERROR_WINHTTP_SECURE_FAILURE with
// these flags; Wine reports every refused certificate as
// ERROR_WINHTTP_SECURE_CHANNEL_ERROR with no flags, and the certificate
// check then finds the reason.
void CALLBACK OnStatus(HINTERNET, DWORD_PTR context, DWORD status, LPVOID information,
                       DWORD length) {
    if (status != WINHTTP_CALLBACK_STATUS_SECURE_FAILURE || context == 0 ||
        information == nullptr || length < sizeof(DWORD)) {
        return;
    }
    reinterpret_cast<std::atomic<DWORD>*>(context)->fetch_or(
        *static_cast<const DWORD*>(information));
}

FetchFailure FromSecureFlags(DWORD flags) {
    if ((flags & WINHTTP_CALLBACK_STATUS_FLAG_INVALID_CA) != 0) {
        return FetchFailure::CertUntrusted;
    }
    if ((flags & WINHTTP_CALLBACK_STATUS_FLAG_CERT_DATE_INVALID) != 0) {
        return FetchFailure::CertExpired;
    }
    if ((flags & WINHTTP_CALLBACK_STATUS_FLAG_CERT_CN_INVALID) != 0) {
        return FetchFailure::CertWrongName;
    }
    return FetchFailure::SecureFailed;
}

FetchFailure FromError(DWORD error, DWORD secureFlags) {
    switch (error) {
        case ERROR_WINHTTP_NAME_NOT_RESOLVED:
            return FetchFailure::UnknownHost;
        case ERROR_WINHTTP_CANNOT_CONNECT:
            return FetchFailure::NoAnswer;
        case ERROR_WINHTTP_TIMEOUT:
            return FetchFailure::TimedOut;
        case ERROR_WINHTTP_SECURE_INVALID_CA:
            return FetchFailure::CertUntrusted;
        case ERROR_WINHTTP_SECURE_CERT_CN_INVALID:
            return FetchFailure::CertWrongName;
        case ERROR_WINHTTP_SECURE_CERT_DATE_INVALID:
            return FetchFailure::CertExpired;
        case ERROR_WINHTTP_SECURE_FAILURE:
        case ERROR_WINHTTP_SECURE_CHANNEL_ERROR:
        case ERROR_WINHTTP_SECURE_INVALID_CERT:
        case ERROR_WINHTTP_SECURE_CERT_REVOKED:
        case ERROR_WINHTTP_SECURE_CERT_REV_FAILED:
        case ERROR_WINHTTP_SECURE_CERT_WRONG_USAGE:
        case ERROR_WINHTTP_CLIENT_AUTH_CERT_NEEDED:
            return FromSecureFlags(secureFlags);
        default:
            return FetchFailure::ConnectionLost;
    }
}

// Host names and request targets are ASCII (the URL allows nothing else).
std::wstring Widen(const std::string& text) {
    return std::wstring(text.begin(), text.end());
}

std::string Narrow(const std::wstring& text) {
    std::string bytes;
    bytes.reserve(text.size());
    for (const wchar_t c : text) {
        // WinHTTP widens each byte; a character outside 8 bits becomes "?".
        bytes += static_cast<unsigned>(c) <= 0xFF ? static_cast<char>(c) : '?';
    }
    return bytes;
}

// The status line and header fields, each ending in CR LF, less any
// Transfer-Encoding field, then the empty line.
std::string HeaderWithoutTransferEncoding(std::string_view raw) {
    std::string header;
    while (!raw.empty()) {
        const std::size_t end = raw.find("\r\n");
        const std::string_view line = raw.substr(0, end);
        raw.remove_prefix(end == std::string_view::npos ? raw.size() : end + 2);
        if (!line.empty() && !ascii::StartsWithIgnoringCase(line, TRANSFER_ENCODING)) {
            header.append(line.data(), line.size()).append("\r\n");
        }
    }
    return header.append("\r\n");
}

// The DLLs of the secure fetch, delay-imported so that a plain-HTTP office
// never loads them. Wine's WinHTTP loads crypt32 and secur32 by itself without
// regard to the process's DLL directories: loaded here first, by their full
// path in the system folder, they are the ones it gets.
constexpr const wchar_t* SECURE_LIBRARIES[] = {L"crypt32.dll", L"secur32.dll", L"winhttp.dll"};

void LoadSecureLibrariesFromSystemFolder() {
    for (const wchar_t* name : SECURE_LIBRARIES) {
        const std::wstring path = platform::InSystemFolder(name);
        if (!path.empty()) {
            ::LoadLibraryW(path.c_str());
        }
    }
}

Handle OpenSession() {
    Handle session(WinHttpOpen(USER_AGENT, WINHTTP_ACCESS_TYPE_AUTOMATIC_PROXY,
                               WINHTTP_NO_PROXY_NAME, WINHTTP_NO_PROXY_BYPASS, 0));
    if (session) {
        return session;
    }
    // Before Windows 8.1 there is no automatic proxy access type.
    return Handle(WinHttpOpen(USER_AGENT, WINHTTP_ACCESS_TYPE_DEFAULT_PROXY, WINHTTP_NO_PROXY_NAME,
                              WINHTTP_NO_PROXY_BYPASS, 0));
}

// TLS 1.2 or later, whatever older versions the system still allows; TLS 1.2
// alone where the system does not know TLS 1.3. Never TLS 1.3 alone: Wine
// takes that for its defaults, which allow TLS 1.0.
bool RequireModernTls(HINTERNET session) {
    for (DWORD protocols : {TLS_1_2_AND_LATER, TLS_1_2}) {
        if (WinHttpSetOption(session, WINHTTP_OPTION_SECURE_PROTOCOLS, &protocols,
                             sizeof protocols)) {
            return true;
        }
    }
    return false;
}

bool DisableFeatures(HINTERNET request) {
    for (DWORD features : {DISABLED_FEATURES, REQUIRED_DISABLED_FEATURES}) {
        if (WinHttpSetOption(request, WINHTTP_OPTION_DISABLE_FEATURE, &features, sizeof features)) {
            return true;
        }
    }
    return false;
}

class Exchange {
public:
    Exchange(std::chrono::milliseconds timeout, Clock::time_point end, SharedExchange& shared)
        : m_timeout(timeout), m_end(end), m_shared(shared), m_reply(shared.reply) {}

    Outcome Run(const Url& url) {
        m_url = &url;
        const Handle session = OpenSession();
        if (!session) {
            return Failed();
        }
        if (!RequireModernTls(session.get())) {
            // A system that cannot restrict itself to TLS 1.2 is not used.
            return {FetchFailure::SecureFailed,
                    "https failed (" + std::to_string(GetLastError()) + ")\n"};
        }
        const int timeout = static_cast<int>(m_timeout.count());
        if (!WinHttpSetTimeouts(session.get(), timeout, timeout, timeout, timeout)) {
            return Failed();
        }
        const Handle connection(
            WinHttpConnect(session.get(), Widen(url.host).c_str(), url.port, 0));
        if (!connection) {
            return Failed();
        }
        Handle request(WinHttpOpenRequest(connection.get(), METHOD, Widen(url.target).c_str(),
                                          nullptr, WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                          WINHTTP_FLAG_SECURE | WINHTTP_FLAG_ESCAPE_DISABLE));
        if (!request || !DisableFeatures(request.get()) ||
            WinHttpSetStatusCallback(request.get(), OnStatus, WINHTTP_CALLBACK_FLAG_SECURE_FAILURE,
                                     0) == WINHTTP_INVALID_STATUS_CALLBACK) {
            return Failed();
        }
        const SharedRequest shared(std::move(request), m_shared);
        return Receive(shared.Get());
    }

private:
    Outcome Receive(HINTERNET request) {
        if (!WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, WINHTTP_NO_REQUEST_DATA,
                                0, 0, reinterpret_cast<DWORD_PTR>(&m_secureFlags)) ||
            !WinHttpReceiveResponse(request, nullptr)) {
            return Failed();
        }
        DWORD size = 0;
        WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                            WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
        std::wstring raw(size / sizeof(wchar_t), L'\0');
        if (raw.empty() || !WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF,
                                                WINHTTP_HEADER_NAME_BY_INDEX, raw.data(), &size,
                                                WINHTTP_NO_HEADER_INDEX)) {
            return Failed();
        }
        raw.resize(size / sizeof(wchar_t));
        m_reply = HeaderWithoutTransferEncoding(Narrow(raw));
        const std::size_t bodyStart = m_reply.size();
        const std::optional<std::size_t> length = ReadReplyHeader(m_reply).contentLength;
        if (length && *length > RECEIVE_AREA_SIZE) {
            return {FetchFailure::TooLarge, "reply too long\n"};
        }
        return ReceiveBody(request, bodyStart, length);
    }

    // Reads the body until its end, one byte past RECEIVE_AREA_SIZE telling a
    // body that is too large.
    Outcome ReceiveBody(HINTERNET request, std::size_t bodyStart,
                        std::optional<std::size_t> length) {
        m_reply.reserve(bodyStart + RECEIVE_AREA_SIZE + 1);
        for (;;) {
            DWORD available = 0;
            if (!WinHttpQueryDataAvailable(request, &available)) {
                return Failed();
            }
            const std::size_t body = m_reply.size() - bodyStart;
            const std::size_t wanted =
                std::min<std::size_t>(available, RECEIVE_AREA_SIZE + 1 - body);
            if (wanted == 0) {
                break;
            }
            m_reply.resize(bodyStart + body + wanted);
            DWORD read = 0;
            if (!WinHttpReadData(request, &m_reply[bodyStart + body], static_cast<DWORD>(wanted),
                                 &read)) {
                return Failed();
            }
            m_reply.resize(bodyStart + body + read);
            if (m_reply.size() - bodyStart > RECEIVE_AREA_SIZE) {
                return {FetchFailure::TooLarge, "reply too long\n"};
            }
            if (read == 0) {
                break;
            }
        }
        if (length && m_reply.size() - bodyStart < *length) {
            return {FetchFailure::ConnectionLost, "reply ended early\n"};
        }
        return {};
    }

    Outcome Failed() const {
        const DWORD error = GetLastError();
        if (m_shared.abandoned) {
            return {FetchFailure::TimeLimit, TIME_LIMIT_LINE};
        }
        FetchFailure failure = FromError(error, m_secureFlags.load());
        if (failure == FetchFailure::SecureFailed) {
            // Where WinHTTP does not say what it found wrong, the certificate
            // is looked at once more, within one time-out.
            failure = CheckServerCertificate(m_url->host, m_url->port,
                                             std::min(m_end, Clock::now() + m_timeout));
        }
        return {failure, "https failed (" + std::to_string(error) + ")\n"};
    }

    const std::chrono::milliseconds m_timeout;
    const Clock::time_point m_end;
    SharedExchange& m_shared;
    std::string& m_reply;
    const Url* m_url = nullptr;
    std::atomic<DWORD> m_secureFlags{0};
};

// Runs the exchange on a thread of its own and waits for it until `end` at
// the latest; on success the reply is moved into `reply`.
Outcome Run(const Url& url, std::chrono::milliseconds timeout, Clock::time_point end,
            std::string& reply) {
    const auto shared = std::make_shared<SharedExchange>();
    std::thread([shared, url, timeout, end] {
        Outcome outcome = Exchange(timeout, end, *shared).Run(url);
        const std::lock_guard<std::mutex> lock(shared->mutex);
        shared->outcome = std::move(outcome);
        shared->done = true;
        shared->finished.notify_one();
    }).detach();
    std::unique_lock<std::mutex> lock(shared->mutex);
    if (!shared->finished.wait_until(lock, end, [&shared] { return shared->done; })) {
        shared->Abandon();
        return {FetchFailure::TimeLimit, TIME_LIMIT_LINE};
    }
    reply = std::move(shared->reply);
    return std::move(shared->outcome);
}

}  // namespace

CHttpsClient::CHttpsClient(std::chrono::milliseconds timeout) : m_timeout(timeout) {}

CHttpsClient::~CHttpsClient() = default;

std::string_view CHttpsClient::Fetch(const Url& url, Clock::time_point end, FetchFailure& failure) {
    // Once, before WinHTTP is first called; the libraries stay loaded.
    [[maybe_unused]] static const bool loaded = (LoadSecureLibrariesFromSystemFolder(), true);
    m_reply.clear();
    const Outcome outcome = Run(url, m_timeout, end, m_reply);
    failure = outcome.failure;
    if (failure != FetchFailure::None) {
        m_reply.clear();
        std::fputs(outcome.line.c_str(), stderr);
    }
    return m_reply;
}
