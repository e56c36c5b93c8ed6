#include "net/socket_api.h"

#include <algorithm>
#include <climits>

#ifndef _WIN32
#include <fcntl.h>
#include <poll.h>
#include <unistd.h>
#endif

namespace net {
namespace {

#ifdef _WIN32
// Windows takes at most an int's worth of bytes per send or receive call.
constexpr std::size_t MAXIMUM_TRANSFER = INT_MAX;
constexpr long MICROSECONDS_PER_MILLISECOND = 1000;
constexpr long MILLISECONDS_PER_SECOND = 1000;

int Wait(const Socket& socket, bool forWriting, std::chrono::milliseconds timeout) {
    fd_set ready;
    fd_set failed;
    FD_ZERO(&ready);
    FD_ZERO(&failed);
    FD_SET(socket.Handle(), &ready);
    // A failed non-blocking connect is reported in the exception set. It is
    // not watched while reading: urgent data lands there too, and would end
    // every wait at once while no ordinary byte can be read.
    if (forWriting) {
        FD_SET(socket.Handle(), &failed);
    }
    const long milliseconds = static_cast<long>(timeout.count());
    timeval limit{};
    limit.tv_sec = milliseconds / MILLISECONDS_PER_SECOND;
    limit.tv_usec = (milliseconds % MILLISECONDS_PER_SECOND) * MICROSECONDS_PER_MILLISECOND;
    // The first argument is ignored by Windows Sockets.
    const int count =
        select(0, forWriting ? nullptr : &ready, forWriting ? &ready : nullptr, &failed, &limit);
    if (count == SOCKET_ERROR) {
        return WSAGetLastError();
    }
    return count == 0 ? TIMED_OUT : 0;
}
#else
constexpr std::size_t MAXIMUM_TRANSFER = SSIZE_MAX;

using Clock = std::chrono::steady_clock;

int Wait(const Socket& socket, bool forWriting, std::chrono::milliseconds timeout) {
    const Clock::time_point deadline = Clock::now() + timeout;
    pollfd entry{};
    entry.fd = socket.Handle();
    entry.events = forWriting ? POLLOUT : POLLIN;
    for (;;) {
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        if (left.count() < 0) {
            return TIMED_OUT;
        }
        const int count = poll(&entry, 1, static_cast<int>(left.count()));
        if (count > 0) {
            return 0;
        }
        if (count == 0) {
            return TIMED_OUT;
        }
        // A signal interrupted the wait: wait again for the time that is left.
        if (errno != EINTR) {
            return errno;
        }
    }
}
#endif

}  // namespace

Socket::~Socket() {
    if (!IsValid()) {
        return;
    }
#ifdef _WIN32
    closesocket(m_handle);
#else
    close(m_handle);
#endif
}

Socket OpenTcpSocket() {
    return Socket(socket(AF_INET, SOCK_STREAM, 0));
}

int LastSocketError() {
#ifdef _WIN32
    return WSAGetLastError();
#else
    return errno;
#endif
}

bool IsTransient(int error) {
#ifdef _WIN32
    return error == WSAEWOULDBLOCK || error == WSAEINTR;
#else
    return error == EAGAIN || error == EWOULDBLOCK || error == EINTR;
#endif
}

bool IsConnectInProgress(int error) {
#ifdef _WIN32
    return error == WSAEWOULDBLOCK;
#else
    return error == EINPROGRESS;
#endif
}

bool SetNonBlocking(const Socket& socket) {
#ifdef _WIN32
    u_long enable = 1;
    // The headers define FIONBIO as an unsigned value while ioctlsocket takes
    // a long; the cast keeps its bit pattern.
    return ioctlsocket(socket.Handle(), static_cast<long>(FIONBIO), &enable) == 0;
#else
    const int flags = fcntl(socket.Handle(), F_GETFL, 0);
    return flags >= 0 && fcntl(socket.Handle(), F_SETFL, flags | O_NONBLOCK) == 0;
#endif
}

int WaitWritable(const Socket& socket, std::chrono::milliseconds timeout) {
    return Wait(socket, true, timeout);
}

int WaitReadable(const Socket& socket, std::chrono::milliseconds timeout) {
    return Wait(socket, false, timeout);
}

int PendingError(const Socket& socket) {
    int error = 0;
#ifdef _WIN32
    int length = sizeof error;
    const int result =
        getsockopt(socket.Handle(), SOL_SOCKET, SO_ERROR, reinterpret_cast<char*>(&error), &length);
#else
    socklen_t length = sizeof error;
    const int result = getsockopt(socket.Handle(), SOL_SOCKET, SO_ERROR, &error, &length);
#endif
    return result == 0 ? error : LastSocketError();
}

long long SendSome(const Socket& socket, const char* data, std::size_t size) {
    const std::size_t chunk = size < MAXIMUM_TRANSFER ? size : MAXIMUM_TRANSFER;
#ifdef _WIN32
    return send(socket.Handle(), data, static_cast<int>(chunk), 0);
#else
    // Without MSG_NOSIGNAL a peer that has gone would end the process.
    return send(socket.Handle(), data, chunk, MSG_NOSIGNAL);
#endif
}

long long ReceiveSome(const Socket& socket, char* data, std::size_t size) {
    const std::size_t chunk = size < MAXIMUM_TRANSFER ? size : MAXIMUM_TRANSFER;
#ifdef _WIN32
    return recv(socket.Handle(), data, static_cast<int>(chunk), 0);
#else
    return recv(socket.Handle(), data, chunk, 0);
#endif
}

std::chrono::milliseconds WaitLimit(std::chrono::milliseconds step,
                                    std::chrono::steady_clock::time_point end) {
    // Rounded up, so that a wait cut short by `end` does not end before it.
    const auto left =
        std::chrono::ceil<std::chrono::milliseconds>(end - std::chrono::steady_clock::now());
    return std::max(std::chrono::milliseconds(0), std::min(step, left));
}

int Connect(const Socket& socket, const sockaddr_in& address, std::chrono::milliseconds timeout) {
    if (!SetNonBlocking(socket)) {
        return LastSocketError();
    }
    if (connect(socket.Handle(), reinterpret_cast<const sockaddr*>(&address), sizeof address) ==
        0) {
        return 0;
    }
    const int error = LastSocketError();
    if (!IsConnectInProgress(error)) {
        return error;
    }
    const int waited = WaitWritable(socket, timeout);
    if (waited != 0) {
        return waited;
    }
    return PendingError(socket);
}

int SendAll(const Socket& socket, std::string_view data, std::chrono::milliseconds timeout,
            std::chrono::steady_clock::time_point end) {
    std::size_t sent = 0;
    while (sent < data.size()) {
        const auto limit = WaitLimit(timeout, end);
        const int waited = limit.count() > 0 ? WaitWritable(socket, limit) : TIMED_OUT;
        if (waited != 0) {
            return waited;
        }
        const long long count = SendSome(socket, data.data() + sent, data.size() - sent);
        if (count < 0) {
            const int error = LastSocketError();
            if (!IsTransient(error)) {
                return error;
            }
            continue;
        }
        sent += static_cast<std::size_t>(count);
    }
    return 0;
}

}  // namespace net
