#include "tests/support/loopback_server.h"

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/time.h>
#include <unistd.h>
#endif

#include <cstring>

namespace test_support {
namespace {

#ifdef _WIN32
using Handle = SOCKET;
const Handle NO_HANDLE = INVALID_SOCKET;
constexpr WORD WINSOCK_VERSION_2_2 = 0x0202;
#else
using Handle = int;
constexpr Handle NO_HANDLE = -1;
#endif

constexpr char REQUEST_END[] = "\r\n\r\n";
constexpr std::size_t READ_CHUNK = 4096;
constexpr int BACKLOG = 4;

// Socket library registration for the life of one server.
class SocketLibrary {
public:
    SocketLibrary() {
#ifdef _WIN32
        WSADATA data;
        WSAStartup(WINSOCK_VERSION_2_2, &data);
#endif
    }
    ~SocketLibrary() {
#ifdef _WIN32
        WSACleanup();
#endif
    }
};

void CloseSocketHandle(Handle handle) {
    if (handle == NO_HANDLE) {
        return;
    }
#ifdef _WIN32
    closesocket(handle);
#else
    close(handle);
#endif
}

class Socket {
public:
    explicit Socket(Handle handle = NO_HANDLE) : m_handle(handle) {}
    ~Socket() { CloseSocketHandle(m_handle); }
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;
    Handle Get() const { return m_handle; }
    bool IsValid() const { return m_handle != NO_HANDLE; }

private:
    Handle m_handle;
};

sockaddr_in LoopbackAddress(std::uint16_t port) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(port);
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    return address;
}

std::uint16_t BoundPort(Handle handle) {
    sockaddr_in address{};
#ifdef _WIN32
    int length = sizeof address;
#else
    socklen_t length = sizeof address;
#endif
    if (getsockname(handle, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        return 0;
    }
    return ntohs(address.sin_port);
}

// Binds a new socket to `address`; its port may be in TIME_WAIT from an
// earlier test.
Handle BindTo(const sockaddr_in& address) {
    const Handle handle = socket(AF_INET, SOCK_STREAM, 0);
    if (handle == NO_HANDLE) {
        return NO_HANDLE;
    }
    int enable = 1;
    setsockopt(handle, SOL_SOCKET, SO_REUSEADDR, reinterpret_cast<const char*>(&enable),
               sizeof enable);
    if (bind(handle, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
        CloseSocketHandle(handle);
        return NO_HANDLE;
    }
    return handle;
}

// Binds a new socket to an ephemeral loopback port.
Handle BindEphemeral() {
    return BindTo(LoopbackAddress(0));
}

// Bounds every blocking send and receive on `handle`.
void LimitBlocking(Handle handle) {
#ifdef _WIN32
    const DWORD limit = static_cast<DWORD>(
        std::chrono::duration_cast<std::chrono::milliseconds>(SERVER_STEP_LIMIT).count());
    const char* value = reinterpret_cast<const char*>(&limit);
    const int size = sizeof limit;
#else
    timeval limit{};
    limit.tv_sec = SERVER_STEP_LIMIT.count();
    const timeval* value = &limit;
    const socklen_t size = sizeof limit;
#endif
    setsockopt(handle, SOL_SOCKET, SO_RCVTIMEO, value, size);
    setsockopt(handle, SOL_SOCKET, SO_SNDTIMEO, value, size);
}

// Waits until `handle` can be read (or, for a listener, accepted on).
bool AwaitReadable(Handle handle) {
    fd_set ready;
    FD_ZERO(&ready);
    FD_SET(handle, &ready);
    timeval limit{};
    limit.tv_sec = SERVER_STEP_LIMIT.count();
    return select(static_cast<int>(handle) + 1, &ready, nullptr, nullptr, &limit) > 0;
}

// Waits, at most SERVER_STEP_LIMIT, for one client and accepts it.
Handle AcceptOne(Handle listener) {
    if (!AwaitReadable(listener)) {
        return NO_HANDLE;
    }
    return accept(listener, nullptr, nullptr);
}

bool SendBytes(Handle handle, const char* data, std::size_t size) {
    while (size > 0) {
#ifdef _WIN32
        const int count = send(handle, data, static_cast<int>(size), 0);
#else
        const long count = send(handle, data, size, MSG_NOSIGNAL);
#endif
        if (count <= 0) {
            return false;
        }
        data += count;
        size -= static_cast<std::size_t>(count);
    }
    return true;
}

std::string ReadUntilEmptyLine(Handle handle) {
    const auto deadline = std::chrono::steady_clock::now() + SERVER_STEP_LIMIT;
    std::string received;
    char chunk[READ_CHUNK];
    while (received.find(REQUEST_END) == std::string::npos &&
           std::chrono::steady_clock::now() < deadline) {
#ifdef _WIN32
        const int count = recv(handle, chunk, static_cast<int>(sizeof chunk), 0);
#else
        const long count = recv(handle, chunk, sizeof chunk, 0);
#endif
        if (count <= 0) {
            break;
        }
        received.append(chunk, static_cast<std::size_t>(count));
    }
    return received;
}

// Waits until the request's empty line has arrived, leaving all of it in the
// receive buffer.
void PeekUntilEmptyLine(Handle handle) {
    const auto deadline = std::chrono::steady_clock::now() + SERVER_STEP_LIMIT;
    char chunk[READ_CHUNK];
    while (std::chrono::steady_clock::now() < deadline) {
#ifdef _WIN32
        const int count = recv(handle, chunk, static_cast<int>(sizeof chunk), MSG_PEEK);
#else
        const long count = recv(handle, chunk, sizeof chunk, MSG_PEEK);
#endif
        if (count <= 0) {
            return;
        }
        if (std::string(chunk, static_cast<std::size_t>(count)).find(REQUEST_END) !=
            std::string::npos) {
            return;
        }
        // Only part of the request is in (the socket stays readable, so
        // there is no event to wait for): let the client's thread run.
        std::this_thread::yield();
    }
}

void SetNoDelay(Handle handle) {
    int enable = 1;
    setsockopt(handle, IPPROTO_TCP, TCP_NODELAY, reinterpret_cast<const char*>(&enable),
               sizeof enable);
}

// Makes the close that follows abort the connection with a reset.
void SetAbortiveClose(Handle handle) {
    linger option{};
    option.l_onoff = 1;
    option.l_linger = 0;
    setsockopt(handle, SOL_SOCKET, SO_LINGER, reinterpret_cast<const char*>(&option),
               sizeof option);
}

}  // namespace

LoopbackServer::LoopbackServer(std::vector<ServerStep> script)
    : LoopbackServer(std::move(script), "127.0.0.1", 0) {}

LoopbackServer::LoopbackServer(std::vector<ServerStep> script, const std::string& address,
                               std::uint16_t port, std::chrono::seconds holdLimit)
    : m_script(std::move(script)), m_holdLimit(holdLimit) {
    static SocketLibrary library;
    sockaddr_in where = LoopbackAddress(port);
    if (inet_pton(AF_INET, address.c_str(), &where.sin_addr) != 1) {
        return;
    }
    const Handle listener = BindTo(where);
    if (listener == NO_HANDLE) {
        return;
    }
    if (listen(listener, BACKLOG) != 0) {
        CloseSocketHandle(listener);
        return;
    }
    m_port = BoundPort(listener);
    m_thread = std::thread(&LoopbackServer::Run, this, static_cast<std::uintptr_t>(listener));
}

LoopbackServer::~LoopbackServer() {
    Release();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void LoopbackServer::Release() {
    const std::lock_guard<std::mutex> lock(m_mutex);
    m_isReleased = true;
    m_released.notify_all();
}

std::string LoopbackServer::Request() {
    if (m_thread.joinable()) {
        m_thread.join();
    }
    return m_request;
}

void LoopbackServer::Run(std::uintptr_t listenerValue) {
    const Socket listener(static_cast<Handle>(listenerValue));
    const Socket connection(AcceptOne(listener.Get()));
    if (!connection.IsValid()) {
        return;
    }
    LimitBlocking(connection.Get());
    for (const ServerStep& step : m_script) {
        switch (step.kind) {
            case ServerStep::Kind::ReadRequest:
                m_request += ReadUntilEmptyLine(connection.Get());
                break;
            case ServerStep::Kind::PeekRequest:
                PeekUntilEmptyLine(connection.Get());
                break;
            case ServerStep::Kind::ShutdownSend:
#ifdef _WIN32
                shutdown(connection.Get(), SD_SEND);
#else
                shutdown(connection.Get(), SHUT_WR);
#endif
                break;
            case ServerStep::Kind::AwaitData:
                AwaitReadable(connection.Get());
                break;
            case ServerStep::Kind::Send:
                if (!SendBytes(connection.Get(), step.bytes.data(), step.bytes.size())) {
                    return;
                }
                break;
            case ServerStep::Kind::Drip:
                SetNoDelay(connection.Get());
                for (const char& byte : step.bytes) {
                    if (!SendBytes(connection.Get(), &byte, 1)) {
                        return;
                    }
                }
                break;
            case ServerStep::Kind::Hold: {
                std::unique_lock<std::mutex> lock(m_mutex);
                m_released.wait_for(lock, m_holdLimit, [this] { return m_isReleased; });
                break;
            }
            case ServerStep::Kind::Reset:
                SetAbortiveClose(connection.Get());
                return;
        }
    }
}

std::uint16_t UnusedLoopbackPort() {
    static SocketLibrary library;
    const Socket probe(BindEphemeral());
    return probe.IsValid() ? BoundPort(probe.Get()) : 0;
}

}  // namespace test_support

namespace test_support {

bool RunningUnderWine() {
#ifdef _WIN32
    const HMODULE ntdll = GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && GetProcAddress(ntdll, "wine_get_version") != nullptr;
#else
    return false;
#endif
}

}  // namespace test_support
