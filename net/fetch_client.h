#pragma once

// The program's own minimal HTTP/1.0 client: one request to one host, the
// whole reply read into a fixed receive area until its Content-Length has
// arrived or the server closes the connection. The reply is not judged here.

#include <chrono>
#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "net/fetch_failure.h"
#include "net/resolve.h"
#include "net/url.h"

// How long connecting, sending and each receive may go without progress.
inline constexpr std::chrono::milliseconds FETCH_TIMEOUT{30000};

// How long a whole retrieval may take, from the first lookup to the last
// byte of its last redirect.
inline constexpr std::chrono::milliseconds FETCH_TIME_LIMIT{120000};

// The largest reply taken; a longer one fails the fetch.
inline constexpr std::size_t RECEIVE_AREA_SIZE = 262144;

namespace net {
class Socket;
}

class CFetchClient {
public:
    // Waits of at most `timeout` without progress; names looked up with
    // `lookUp`. The constructor registers the process with the socket library.
    explicit CFetchClient(std::chrono::milliseconds timeout = FETCH_TIMEOUT,
                          NameLookup lookUp = LookUpName);

    CFetchClient(const CFetchClient&) = delete;
    CFetchClient& operator=(const CFetchClient&) = delete;

    // One GET of the plain http `url`, on its port, with the program's
    // request (its Host field names the port when it is not 80): looks the
    // host up, connects to each of its addresses in turn until one takes
    // the connection, sends the request whole and receives until the
    // reply's header has ended and its Content-Length bytes of body have
    // arrived, or the server closes the connection, all by `end` at the
    // latest. Returns the complete reply, which stays in the receive area
    // until the next fetch; it may hold NUL bytes. Any failure (lookup,
    // connection, send, receive, time-out, `end`, a reply over
    // RECEIVE_AREA_SIZE bytes) gives an empty reply, writes one line to
    // standard error, and `failure` says why.
    std::string_view Fetch(const Url& url, std::chrono::steady_clock::time_point end,
                           FetchFailure& failure);

private:
    FetchFailure Exchange(const Url& url, std::chrono::steady_clock::time_point end);
    FetchFailure Request(const net::Socket& socket, const Url& url,
                         std::chrono::steady_clock::time_point end);
    FetchFailure Receive(const net::Socket& socket, std::chrono::steady_clock::time_point end);

    std::unique_ptr<char[]> m_receiveArea;
    std::size_t m_replyLength = 0;
    std::chrono::milliseconds m_timeout;
    NameLookup m_lookUp;
};
