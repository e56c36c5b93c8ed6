#include "net/fetch_client.h"

#include "net/http_reply.h"
#include "net/http_request.h"
#include "net/resolve.h"
#include "net/socket_api.h"
#include "platform/socket_library.h"

#include <algorithm>
#include <cstdio>
#include <optional>
#include <utility>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// Writes the line that says why a fetch failed to standard error.
FetchFailure Fail(FetchFailure failure, const std::string& line) {
    std::fputs(line.c_str(), stderr);
    return failure;
}

std::string ErrorLine(const char* what, int code) {
    return std::string(what) + " (" + std::to_string(code) + ")\n";
}

// What a failed step with `error` means to the user, when the whole
// retrieval was to end by `end`: the time limit, once it has passed;
// otherwise `timedOut` for a time-out and `failed` for any other error.
FetchFailure Failure(int error, Clock::time_point end, FetchFailure timedOut, FetchFailure failed) {
    if (error != net::TIMED_OUT) {
        return failed;
    }
    return Clock::now() >= end ? FetchFailure::TimeLimit : timedOut;
}

// A send or receive that failed with `error`.
FetchFailure TransferFailure(int error, Clock::time_point end) {
    return Failure(error, end, FetchFailure::TimedOut, FetchFailure::ConnectionLost);
}

}  // namespace

CFetchClient::CFetchClient(std::chrono::milliseconds timeout, NameLookup lookUp)
    : m_receiveArea(new char[RECEIVE_AREA_SIZE]()),
      m_timeout(timeout),
      m_lookUp(std::move(lookUp)) {
    // The result is not examined: a failure shows up as a failed lookup or
    // connection later on.
    platform::StartSocketLibrary();
}

std::string_view CFetchClient::Fetch(const Url& url, Clock::time_point end, FetchFailure& failure) {
    // Whatever happens, an earlier reply is never handed out again.
    m_replyLength = 0;
    failure = Exchange(url, end);
    if (failure != FetchFailure::None) {
        m_replyLength = 0;
    }
    return std::string_view(m_receiveArea.get(), m_replyLength);
}

FetchFailure CFetchClient::Exchange(const Url& url, Clock::time_point end) {
    // The fetch ends by `end` whatever the server, or the name service, does.
    // A host that could add a line to the request is never looked up.
    std::vector<sockaddr_in> addresses;
    const ResolveResult resolved = IsValidHostName(url.host)
                                       ? ResolveHost(url.host, url.port, end, addresses, m_lookUp)
                                       : ResolveResult::Unknown;
    if (resolved == ResolveResult::TimeLimit) {
        return Fail(FetchFailure::TimeLimit, "lookup failed (time limit)\n");
    }
    if (resolved == ResolveResult::Unknown) {
        return Fail(FetchFailure::UnknownHost, "Can't map hostname '" + url.host + "'\n");
    }
    // Each address in turn, until one takes the connection or the time is up;
    // the last one's failure is the fetch's.
    int connectError = 0;
    for (const sockaddr_in& address : addresses) {
        const net::Socket socket = net::OpenTcpSocket();
        if (!socket.IsValid()) {
            return Fail(FetchFailure::NoAnswer,
                        ErrorLine("connect failed", net::LastSocketError()));
        }
        const auto connectLimit = net::WaitLimit(m_timeout, end);
        connectError =
            connectLimit.count() > 0 ? net::Connect(socket, address, connectLimit) : net::TIMED_OUT;
        if (connectError == 0) {
            return Request(socket, url, end);
        }
    }
    return Fail(Failure(connectError, end, FetchFailure::NoAnswer, FetchFailure::NoAnswer),
                ErrorLine("connect failed", connectError));
}

FetchFailure CFetchClient::Request(const net::Socket& socket, const Url& url,
                                   Clock::time_point end) {
    const std::string request = BuildHttpRequest(url.target, HostField(url));
    const int sendError = net::SendAll(socket, request, m_timeout, end);
    if (sendError != 0) {
        return Fail(TransferFailure(sendError, end), ErrorLine("send failed", sendError));
    }
    return Receive(socket, end);
}

FetchFailure CFetchClient::Receive(const net::Socket& socket, Clock::time_point end) {
    // The reply is complete once its header has ended and as many body bytes
    // as its Content-Length has arrived; without one, once the server closes
    // the connection. When the area is full, one more byte is asked for: only
    // the close or the length makes the reply complete. The time-out runs
    // from the last byte received, whatever else the server sends meanwhile.
    char* const area = m_receiveArea.get();
    char overflow = 0;
    std::size_t scanned = 0;  // bytes searched for the end of the header
    bool headerRead = false;
    std::optional<std::size_t> replyLength;
    auto stepEnd = Clock::now() + m_timeout;
    for (;;) {
        const auto left = net::WaitLimit(
            std::chrono::ceil<std::chrono::milliseconds>(stepEnd - Clock::now()), end);
        const int waited = left.count() > 0 ? net::WaitReadable(socket, left) : net::TIMED_OUT;
        if (waited != 0) {
            return Fail(TransferFailure(waited, end), ErrorLine("receive failed", waited));
        }
        const bool full = m_replyLength == RECEIVE_AREA_SIZE;
        char* const target = full ? &overflow : area + m_replyLength;
        const std::size_t room = full ? sizeof overflow : RECEIVE_AREA_SIZE - m_replyLength;
        const long long count = net::ReceiveSome(socket, target, room);
        if (count == 0) {
            return FetchFailure::None;
        }
        if (count < 0) {
            const int error = net::LastSocketError();
            if (net::IsTransient(error)) {
                continue;
            }
            return Fail(FetchFailure::ConnectionLost, ErrorLine("receive failed", error));
        }
        if (full) {
            return Fail(FetchFailure::TooLarge, "reply too long\n");
        }
        m_replyLength += static_cast<std::size_t>(count);
        stepEnd = Clock::now() + m_timeout;
        const std::string_view reply(area, m_replyLength);
        if (!headerRead && HeaderEndsAfter(reply, scanned)) {
            headerRead = true;
            const ReplyHeader header = ReadReplyHeader(reply);
            if (header.contentLength && *header.contentLength <= RECEIVE_AREA_SIZE) {
                replyLength = header.bodyStart + *header.contentLength;
            }
        }
        scanned = m_replyLength;
        if (replyLength && m_replyLength >= *replyLength) {
            return FetchFailure::None;
        }
    }
}
