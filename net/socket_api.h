#pragma once

// The few socket calls the fetch client needs, over Windows Sockets on
// Windows and BSD sockets elsewhere. Internal to the net library.

#ifdef _WIN32
#include <winsock2.h>
#include <ws2tcpip.h>
#else
#include <arpa/inet.h>
#include <netdb.h>
#include <netinet/in.h>
#include <sys/socket.h>

#include <cerrno>
#endif

#include <chrono>
#include <cstddef>
#include <string_view>

namespace net {

#ifdef _WIN32
using NativeSocket = SOCKET;
inline constexpr NativeSocket NO_SOCKET = INVALID_SOCKET;
inline constexpr int TIMED_OUT = WSAETIMEDOUT;
#else
using NativeSocket = int;
inline constexpr NativeSocket NO_SOCKET = -1;
inline constexpr int TIMED_OUT = ETIMEDOUT;
#endif

// A TCP socket that is closed when it goes out of scope.
class Socket {
public:
    explicit Socket(NativeSocket handle) : m_handle(handle) {}
    ~Socket();
    Socket(const Socket&) = delete;
    Socket& operator=(const Socket&) = delete;

    bool IsValid() const { return m_handle != NO_SOCKET; }
    NativeSocket Handle() const { return m_handle; }

private:
    NativeSocket m_handle;
};

// A new IPv4 TCP socket; invalid on failure.
Socket OpenTcpSocket();

// The error code of the last failed socket call on this thread.
int LastSocketError();

// True for the codes that only say "try again later".
bool IsTransient(int error);

// True for the code a non-blocking connect gives while it is in progress.
bool IsConnectInProgress(int error);

bool SetNonBlocking(const Socket& socket);

// Waits until the socket can be written (or its connection attempt has
// ended) or read. 0 when ready, TIMED_OUT after `timeout`, otherwise the
// error code of the wait.
int WaitWritable(const Socket& socket, std::chrono::milliseconds timeout);
int WaitReadable(const Socket& socket, std::chrono::milliseconds timeout);

// The pending error of the socket (SO_ERROR), 0 when there is none.
int PendingError(const Socket& socket);

// One send or receive call. The count of bytes moved, 0 when a receive met
// the end of the stream, or a negative value on failure (see LastSocketError).
// A send never raises a signal when the peer has gone.
long long SendSome(const Socket& socket, const char* data, std::size_t size);
long long ReceiveSome(const Socket& socket, char* data, std::size_t size);

// The longest the next wait may take: `step`, cut short so that it ends by
// `end` (none once `end` has passed).
std::chrono::milliseconds WaitLimit(std::chrono::milliseconds step,
                                    std::chrono::steady_clock::time_point end);

// Connects `socket`, made non-blocking, to `address`, waiting at most
// `timeout`. 0 on success, otherwise the error code.
int Connect(const Socket& socket, const sockaddr_in& address, std::chrono::milliseconds timeout);

// Sends all of `data`, each wait for room bounded by `timeout` and all of
// them by `end`. 0 on success, otherwise the error code.
int SendAll(const Socket& socket, std::string_view data, std::chrono::milliseconds timeout,
            std::chrono::steady_clock::time_point end);

}  // namespace net
