#pragma once

// HTTPS through WinHTTP, the system's own HTTP stack (Windows only): TLS 1.2
// or later, the server's certificate checked against
// the system's trusted roots and the host name, and the system's proxy
// settings (its automatic proxy where the system offers one, else the
// default configuration). Nothing here follows a redirect; the caller does,
// by one policy for both schemes.

#include <chrono>
#include <string>
#include <string_view>

#include "net/fetch_client.h"
#include "net/fetch_failure.h"
#include "net/url.h"

class CHttpsClient {
public:
    // Waits of at most `timeout` without progress.
    explicit CHttpsClient(std::chrono::milliseconds timeout = FETCH_TIMEOUT);
    ~CHttpsClient();
    CHttpsClient(const CHttpsClient&) = delete;
    CHttpsClient& operator=(const CHttpsClient&) = delete;

    // One GET of the https `url`, ended by `end` at the latest: no content
    // coding asked for, no redirect
    // followed, no cookie or credential sent. Returns the reply as the plain
    // client gives one: the status line and header fields as the server sent
    // them (less any Transfer-Encoding field, whose coding WinHTTP has taken
    // off already), an empty line, and the body. A body over
    // RECEIVE_AREA_SIZE bytes fails (TooLarge), and so does one shorter than
    // its Content-Length (ConnectionLost). On failure the reply is empty,
    // `failure` says why and one line goes to standard error.
    std::string_view Fetch(const Url& url, std::chrono::steady_clock::time_point end,
                           FetchFailure& failure);

private:
    std::chrono::milliseconds m_timeout;
    std::string m_reply;
};
