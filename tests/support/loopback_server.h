#pragma once

// A scripted TCP server on 127.0.0.1 for the network tests: it serves one
// connection, on a thread of its own, with exact bytes, pauses, silence, an
// urgent byte or a reset.

#include "net/socket_api.h"
#include "platform/socket_library.h"

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <netinet/tcp.h>
#endif

namespace test_support {

// The longest the server waits for the connection, for the end of its
// script, and in each blocking call; and the longest it holds a connection
// open for a client still busy (a huge request takes a while to build where
// the processor is emulated).
inline constexpr std::chrono::milliseconds STEP_LIMIT{10000}, HOLD_LIMIT{30000};

#ifdef _WIN32
inline constexpr int SEND_FLAGS = 0, SHUT_WR = SD_SEND;
inline const DWORD CALL_LIMIT = static_cast<DWORD>(STEP_LIMIT.count());
#else
inline constexpr int SEND_FLAGS = MSG_NOSIGNAL;
inline const timeval CALL_LIMIT{STEP_LIMIT.count() / 1000, 0};
#endif

template <class T>
void Set(const net::Socket& socket, int level, int option, const T& value) {
    setsockopt(socket.Handle(), level, option, reinterpret_cast<const char*>(&value), sizeof value);
}

// One step of the server's script. ReadRequest: reads until an empty line or
// the client's close. Send: sends `bytes`, `chunk` bytes a call (all at once
// when 0), each after `pause`, until the server is destroyed; Urgent: its one
// byte as out-of-band data. Hold: keeps the connection open, reading nothing,
// until the server is destroyed (or its time is up). Reset: aborts the
// connection.
struct Step {
    enum Kind { ReadRequest, Send, Urgent, Hold, Reset } kind;
    std::string bytes;
    std::size_t chunk = 0;
    std::chrono::milliseconds pause{0};
};
using Script = std::vector<Step>;

inline const Step READ{Step::ReadRequest, ""}, HOLD{Step::Hold, ""};

// A script that reads the request and sends `reply`.
inline Script Serve(const std::string& reply) {
    return Script{READ, {Step::Send, reply}};
}

// Serves the first connection with `script`; the bytes that ReadRequest received.
inline std::string RunScript(std::unique_ptr<net::Socket> listener, const Script& script,
                             const std::future<void>& released) {
    const auto deadline = std::chrono::steady_clock::now() + STEP_LIMIT;
    // Should no client come, or accept fail, every step below fails at once.
    const bool came = net::WaitReadable(*listener, STEP_LIMIT) == 0;
    const net::Socket peer(came ? accept(listener->Handle(), nullptr, nullptr) : net::NO_SOCKET);
    listener.reset();
    Set(peer, SOL_SOCKET, SO_RCVTIMEO, CALL_LIMIT);
    Set(peer, SOL_SOCKET, SO_SNDTIMEO, CALL_LIMIT);
    Set(peer, IPPROTO_TCP, TCP_NODELAY, 1);
    std::string request;
    for (const Step& step : script) {
        if (step.kind == Step::ReadRequest) {
            for (char byte = 0; request.find("\r\n\r\n") == std::string::npos &&
                                std::chrono::steady_clock::now() < deadline &&
                                net::ReceiveSome(peer, &byte, 1) == 1;) {
                request += byte;
            }
        } else if (step.kind == Step::Hold) {
            released.wait_for(HOLD_LIMIT);
        } else if (step.kind == Step::Urgent) {
            send(peer.Handle(), step.bytes.data(), 1, MSG_OOB | SEND_FLAGS);
        } else if (step.kind == Step::Reset) {
            Set(peer, SOL_SOCKET, SO_LINGER, linger{1, 0});
            return request;
        } else {  // Send: a blocking call sends all it is given, or fails
            const std::size_t chunk = step.chunk == 0 ? step.bytes.size() : step.chunk;
            for (std::size_t at = 0; at < step.bytes.size(); at += chunk) {
                if (released.wait_for(step.pause) != std::future_status::timeout ||
                    net::SendSome(peer, &step.bytes[at], chunk) != static_cast<long long>(chunk)) {
                    return request;
                }
            }
        }
    }
    // The end of the stream goes first, so that a client still sending meets
    // it before the reset that closing with its bytes unread may cause.
    shutdown(peer.Handle(), SHUT_WR);
    return request;
}

// A TCP server on 127.0.0.1:`port` (0: an ephemeral port) that serves one
// connection from a script on a thread of its own. Without a script the port
// is only bound, and then freed: connecting to it is refused.
struct LoopbackServer {
    explicit LoopbackServer(std::optional<Script> script, std::uint16_t wanted = 0) {
        platform::StartSocketLibrary();
        auto listener = std::make_unique<net::Socket>(socket(AF_INET, SOCK_STREAM, 0));
        Set(*listener, SOL_SOCKET, SO_REUSEADDR, 1);
        sockaddr_in where{AF_INET, htons(wanted), {}, {}};
        where.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t size = sizeof where;
        const auto at = reinterpret_cast<sockaddr*>(&where);
        const bool bound = bind(listener->Handle(), at, size) == 0 &&
                           getsockname(listener->Handle(), at, &size) == 0;
        port = bound ? ntohs(where.sin_port) : 0;
        if (script && port != 0 && listen(listener->Handle(), 1) == 0) {
            request = std::async(std::launch::async, RunScript, std::move(listener),
                                 std::move(*script), release.get_future());
        }
    }
    // Ends a Hold step; `request` then waits for the script to end.
    ~LoopbackServer() { release.set_value(); }
    LoopbackServer(const LoopbackServer&) = delete;
    LoopbackServer& operator=(const LoopbackServer&) = delete;

    std::uint16_t port = 0;  // 0 when it could not be bound
    std::promise<void> release;
    std::future<std::string> request;  // what ReadRequest received
};

}  // namespace test_support
