#pragma once

// The program's own minimal HTTP/1.0 client: one request to one host, the
// whole reply read into a fixed receive area until its Content-Length has
// arrived or the server closes the connection. The reply is not judged here.

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

#include "net/fetch_failure.h"
#include "net/url.h"

namespace net {
class Socket;
}

// The port every fetch of the program uses.
inline constexpr std::uint16_t HTTP_PORT = 80;

// How long connecting, sending and each receive may go without progress.
inline constexpr std::chrono::milliseconds FETCH_TIMEOUT{30000};

// How long a whole retrieval may take, from the first lookup to the last
// byte of its last redirect.
inline constexpr std::chrono::milliseconds FETCH_TIME_LIMIT{120000};

// The largest reply taken; a longer one fails the fetch.
inline constexpr std::size_t RECEIVE_AREA_SIZE = 262144;

class CFetchClient {
public:
    // The program's client: port 80, a 30-second time-out and a 2-minute
    // limit. On Windows the constructor registers the process with the socket
    // library and the destructor releases it.
    CFetchClient();
    // A client for another port, time-out or limit.
    CFetchClient(std::uint16_t port, std::chrono::milliseconds timeout,
                 std::chrono::milliseconds timeLimit = FETCH_TIME_LIMIT);
    ~CFetchClient();

    CFetchClient(const CFetchClient&) = delete;
    CFetchClient& operator=(const CFetchClient&) = delete;

    // Resolves `hostName`, connects, sends `request` whole and receives until
    // the reply's header has ended and its Content-Length bytes of body have
    // arrived, or the server closes the connection. Returns the complete
    // reply, which stays in the receive area until the next fetch. Any
    // failure (lookup, connection, send, receive, time-out, the time limit, a
    // reply over RECEIVE_AREA_SIZE bytes) gives an empty reply and writes one
    // line to standard error.
    std::string_view HttpFetch(const std::string& hostName, std::string_view request);

    // One GET of the plain http `url`, on its port, with the program's
    // request (its Host field names the port when it is not 80), ended by
    // `end` at the latest. As HttpFetch; on failure `failure` says why.
    std::string_view Fetch(const Url& url, std::chrono::steady_clock::time_point end,
                           FetchFailure& failure);

    // The reply of the last fetch; empty before the first and after a failed
    // one. It may hold NUL bytes.
    std::string_view Reply() const;

    // The line the last fetch wrote to standard error; empty if it succeeded.
    const std::string& LastError() const { return m_lastError; }

private:
    std::string_view Run(const std::string& hostName, std::uint16_t port, std::string_view request,
                         std::chrono::steady_clock::time_point end);
    bool Exchange(const std::string& hostName, std::uint16_t port, std::string_view request,
                  std::chrono::steady_clock::time_point end);
    bool Receive(const net::Socket& socket, std::chrono::steady_clock::time_point end);
    bool Fail(FetchFailure failure, std::string line);

    std::unique_ptr<char[]> m_receiveArea;
    std::size_t m_replyLength = 0;
    std::uint16_t m_port;
    std::chrono::milliseconds m_timeout;
    std::chrono::milliseconds m_timeLimit;
    std::string m_lastError;
    FetchFailure m_lastFailure = FetchFailure::None;
};
