#include "tests/support/loopback_server.h"

#include <memory>

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
using Size = int;
constexpr int MSG_NOSIGNAL = 0;
constexpr int SHUT_WR = SD_SEND;
// The bound of each blocking receive and send, in milliseconds for Winsock.
const DWORD CALL_LIMIT = test_support::SERVER_STEP_LIMIT.count() * 1000;
// The socket library, started for the life of the process.
[[maybe_unused]] const int SOCKETS = [] {
    WSADATA data;
    return WSAStartup(0x0202, &data);
}();
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <unistd.h>
using SOCKET = int;
using Size = std::size_t;
constexpr auto closesocket = &close;
const timeval CALL_LIMIT{test_support::SERVER_STEP_LIMIT.count(), 0};
#endif

namespace test_support {

// A socket, closed when it goes out of scope.
struct ServerSocket {
    explicit ServerSocket(SOCKET opened) : handle(opened) {}
    ~ServerSocket() { closesocket(handle); }
    ServerSocket(const ServerSocket&) = delete;
    ServerSocket& operator=(const ServerSocket&) = delete;

    template <class T>
    void Set(int level, int option, const T& value) const {
        setsockopt(handle, level, option, reinterpret_cast<const char*>(&value), sizeof value);
    }
    // Binds to `address`:`port` (0: an ephemeral port); the port bound, 0 on failure.
    std::uint16_t Bind(const char* address, std::uint16_t port) const {
        sockaddr_in where{};
        where.sin_family = AF_INET;
        where.sin_port = htons(port);
        socklen_t size = sizeof where;
        const auto at = reinterpret_cast<sockaddr*>(&where);
        const bool bound = inet_pton(AF_INET, address, &where.sin_addr) == 1 &&
                           bind(handle, at, size) == 0 && getsockname(handle, at, &size) == 0;
        return bound ? ntohs(where.sin_port) : 0;
    }

    const SOCKET handle;
};

namespace {

void ReadRequest(const ServerSocket& peer, std::string& request) {
    const auto deadline = std::chrono::steady_clock::now() + SERVER_STEP_LIMIT;
    char chunk[4096];
    while (request.find("\r\n\r\n") == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
        const auto count = recv(peer.handle, chunk, static_cast<Size>(sizeof chunk), 0);
        if (count <= 0) {
            return;
        }
        request.append(chunk, static_cast<std::size_t>(count));
    }
}

bool Send(const ServerSocket& peer, const ServerStep& step) {
    peer.Set(IPPROTO_TCP, TCP_NODELAY, step.oneByteEach ? 1 : 0);
    const int flags = (step.urgent ? MSG_OOB : 0) | MSG_NOSIGNAL;
    for (std::size_t sent = 0; sent < step.bytes.size();) {
        const std::size_t size = step.oneByteEach ? 1 : step.bytes.size() - sent;
        const auto count = send(peer.handle, &step.bytes[sent], static_cast<Size>(size), flags);
        if (count <= 0) {
            return false;
        }
        sent += static_cast<std::size_t>(count);
    }
    return true;
}

}  // namespace

LoopbackServer::LoopbackServer(std::vector<ServerStep> script, const std::string& address,
                               std::uint16_t port, std::chrono::seconds holdLimit)
    : m_script(std::move(script)), m_holdLimit(holdLimit) {
    auto listener = std::make_unique<ServerSocket>(socket(AF_INET, SOCK_STREAM, 0));
    listener->Set(SOL_SOCKET, SO_REUSEADDR, 1);
    const std::uint16_t bound = listener->Bind(address.c_str(), port);
    if (bound != 0 && listen(listener->handle, 1) == 0) {
        m_port = bound;
        m_thread = std::thread([this, listening = std::move(listener)] { Run(*listening); });
    }
}

LoopbackServer::~LoopbackServer() {
    m_release.set_value();
    Request();
}

std::string LoopbackServer::Request() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
    return m_request;
}

void LoopbackServer::Run(const ServerSocket& listener) {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(listener.handle, &ready);
    timeval limit{static_cast<long>(SERVER_STEP_LIMIT.count()), 0};
    if (select(static_cast<int>(listener.handle) + 1, &ready, nullptr, nullptr, &limit) != 1) {
        return;
    }
    // Should accept fail, every step below fails at once.
    const ServerSocket peer(accept(listener.handle, nullptr, nullptr));
    peer.Set(SOL_SOCKET, SO_RCVTIMEO, CALL_LIMIT);
    peer.Set(SOL_SOCKET, SO_SNDTIMEO, CALL_LIMIT);
    for (const ServerStep& step : m_script) {
        if (step.kind == ServerStep::Kind::ReadRequest) {
            ReadRequest(peer, m_request);
        } else if (step.kind == ServerStep::Kind::Hold) {
            m_released.wait_for(m_holdLimit);
        } else if (step.kind == ServerStep::Kind::Reset) {
            peer.Set(SOL_SOCKET, SO_LINGER, linger{1, 0});
            return;
        } else if (!Send(peer, step)) {
            return;
        }
    }
    // The end of the stream goes first, so that a client still sending meets
    // it before the reset that closing with its bytes unread may cause.
    shutdown(peer.handle, SHUT_WR);
}

bool RunningUnderWine() {
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

std::uint16_t UnusedLoopbackPort() {
    return ServerSocket(socket(AF_INET, SOCK_STREAM, 0)).Bind("127.0.0.1", 0);
}

}  // namespace test_support
