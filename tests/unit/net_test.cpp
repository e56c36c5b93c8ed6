#include "net/fetch_client.h"
#include "net/http_request.h"
#include "net/socket_api.h"

#include <gtest/gtest.h>

#include <ctime>
#include <future>
#include <memory>
#include <optional>

#ifndef _WIN32
#include <netinet/tcp.h>
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

// STEP_LIMIT: the longest the loopback server waits for the connection, for the
// end of its script, and in each blocking call. Then the fetch client's time-outs.
constexpr std::chrono::milliseconds STEP_LIMIT{10000}, SHORT_TIMEOUT{300}, TEST_TIMEOUT{5000};
// A trickling server's pause between bytes, and a whole-fetch limit it outlasts.
constexpr std::chrono::milliseconds TRICKLE_PAUSE{100}, SHORT_LIMIT{700};

#ifdef _WIN32
constexpr int MSG_NOSIGNAL = 0, SHUT_WR = SD_SEND, REFUSED = WSAECONNREFUSED, RESET = WSAECONNRESET;
const DWORD CALL_LIMIT = static_cast<DWORD>(STEP_LIMIT.count());
// The server registers with the socket library.
[[maybe_unused]] const int SOCKETS = [](WSADATA data) { return WSAStartup(0x0202, &data); }({});
// Wine reports a connection reset by the peer as an ordinary end of stream.
const bool RESET_SEEN = !GetProcAddress(GetModuleHandleA("ntdll.dll"), "wine_get_version");

// The processor time this process has used so far: its kernel time t[2] and
// user time t[3], in 100 ns ticks.
std::chrono::milliseconds ProcessorTime() {
    FILETIME t[4];
    GetProcessTimes(GetCurrentProcess(), &t[0], &t[1], &t[2], &t[3]);
    const long long high = 0x100000000LL * (t[2].dwHighDateTime + t[3].dwHighDateTime);
    return std::chrono::milliseconds((high + t[2].dwLowDateTime + t[3].dwLowDateTime) / 10000);
}
#else
constexpr int REFUSED = ECONNREFUSED, RESET = ECONNRESET;
const timeval CALL_LIMIT{STEP_LIMIT.count() / 1000, 0};
const bool RESET_SEEN = true;

std::chrono::milliseconds ProcessorTime() {
    return std::chrono::milliseconds(std::clock() * 1000 / CLOCKS_PER_SEC);
}
#endif

template <class T>
void Set(const net::Socket& socket, int level, int option, const T& value) {
    setsockopt(socket.Handle(), level, option, reinterpret_cast<const char*>(&value), sizeof value);
}

// One step of the loopback server's script. ReadRequest: reads until an empty
// line or the client's close. Send: sends `bytes`, `chunk` bytes a call (all
// at once when 0), each after `pause`, until the server is destroyed; Urgent:
// its one byte as out-of-band data. Hold: keeps the connection open, reading
// nothing, until the server is destroyed (or its time is up). Reset: aborts
// the connection.
struct Step {
    enum Kind { ReadRequest, Send, Urgent, Hold, Reset } kind;
    std::string bytes;
    std::size_t chunk = 0;
    std::chrono::milliseconds pause{0};
};
using Script = std::vector<Step>;

// Serves the first connection with `script`; the bytes that ReadRequest received.
std::string Run(std::unique_ptr<net::Socket> listener, const Script& script,
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
            released.wait_until(deadline);
        } else if (step.kind == Step::Urgent) {
            send(peer.Handle(), step.bytes.data(), 1, MSG_OOB | MSG_NOSIGNAL);
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
            request = std::async(std::launch::async, Run, std::move(listener), std::move(*script),
                                 release.get_future());
        }
    }
    // Ends a Hold step; `request` then waits for the script to end.
    ~LoopbackServer() { release.set_value(); }

    std::uint16_t port = 0;  // 0 when it could not be bound
    std::promise<void> release;
    std::future<std::string> request;  // what ReadRequest received
};

// A path far larger than the socket buffers: the client is still sending it
// when the server acts.
constexpr std::size_t HUGE_PATH = 32 * 1024 * 1024;
const std::string STATUS = "HTTP/1.0 200 OK\r\n", OK_REPLY = STATUS + "\r\n2024-01-31\r\nA100\r\n";
const std::string SIZED_REPLY = STATUS + "Content-Length: 6\r\n\r\nA100\r\n";
const std::string NUL_REPLY("HTTP/1.0 200 OK\r\n\r\nA\0B\n", 22), FULL_AREA(RECEIVE_AREA_SIZE, 'x');
const Step READ{Step::ReadRequest, ""}, HOLD{Step::Hold, ""};

std::string ErrorLine(const char* what, int code) {
    return std::string(what) + " (" + std::to_string(code) + ")\n";
}

const auto Serve = [](const std::string& reply) { return Script{READ, {Step::Send, reply}}; };

}  // namespace

TEST(HttpRequest, TargetIsPercentEncodedAfterALeadingSlash) {
    // clang-format off
    const std::pair<std::string, std::string> cases[] = {
        {"dir/CODES.DAT", "/dir/CODES.DAT"}, {"", "/"}, {" /x", "/%20/x"}, {"/My Codes/A 1.DAT", "/My%20Codes/A%201.DAT"},
        {"/\"<>\\^`{|}", "/%22%3C%3E%5C%5E%60%7B%7C%7D"}, {std::string("/\x00\x1F\x7F\x80\xE9\xFF", 7), "/%00%1F%7F%80%E9%FF"},
        // "%" and the other characters allowed in a target go as they stand.
        {"/a%20b/~x-y_z.DAT?q=1&r=[2]#f!$'()*+,;=:@", "/a%20b/~x-y_z.DAT?q=1&r=[2]#f!$'()*+,;=:@"},
    };
    // clang-format on
    for (const auto& [path, target] : cases) {
        EXPECT_EQ(EncodeRequestTarget(path), target) << path;
        EXPECT_EQ(EncodeRequestTarget(target), target);  // a target is sent as it stands
    }
}

TEST(HttpRequest, HostNameCannotAddToTheRequest) {
    for (const char* host : {"codes.example.org", "127.0.0.1", "my_host-1", ""}) {
        EXPECT_TRUE(IsValidHostName(host)) << host;
    }
    for (const char* host : {"a b", "a\r\nX: y", "a/b", "h\xE9te", "a@b"}) {
        EXPECT_FALSE(IsValidHostName(host)) << host;
    }
}

struct FetchCase {
    const char* name;
    std::optional<Script> script;  // none: nothing listens on the port
    // What the fetch returns, and LastError(): the whole line, or its start where
    // the system picks the code.
    std::string reply, error;
    std::chrono::milliseconds timeout = TEST_TIMEOUT;
    std::size_t pathSize = 1;        // the path asked for is that many 'a's
    const char* host = "127.0.0.1";  // a name such as "localhost" is looked up
    std::chrono::milliseconds limit = FETCH_TIME_LIMIT;
    friend void PrintTo(const FetchCase& row, std::ostream* out) { *out << row.name; }
};

// clang-format off
const FetchCase FETCH_CASES[] = {
    {"GoodReplySentWholeToAHostLookedUpByName", Serve(OK_REPLY), OK_REPLY, "", TEST_TIMEOUT, 1, "localhost"},
    {"ReplyDrippedByteByByte", Script{READ, {Step::Send, OK_REPLY, 1}}, OK_REPLY, ""},
    {"NulBytesKept", Serve(NUL_REPLY), NUL_REPLY, ""},
    {"ContentLengthEndsTheReplyOnAnOpenConnection", Script{READ, {Step::Send, SIZED_REPLY}, HOLD}, SIZED_REPLY, ""},
    {"TricklingServerMeetsTheTimeLimit", Script{READ, {Step::Send, OK_REPLY, 1, TRICKLE_PAUSE}}, "", ErrorLine("receive failed", net::TIMED_OUT), SHORT_TIMEOUT, 1, "127.0.0.1", SHORT_LIMIT},
    {"ReplyFillingTheArea", Serve(FULL_AREA), FULL_AREA, ""},
    {"ReplyOneByteOverTheArea", Serve(FULL_AREA + "y"), "", "reply too long\n"},
    {"SilenceTimesOut", Script{READ, {Step::Send, STATUS}, HOLD}, "", ErrorLine("receive failed", net::TIMED_OUT), SHORT_TIMEOUT},
    {"ResetMidReply", Script{READ, {Step::Send, OK_REPLY.substr(0, 25)}, {Step::Reset, ""}}, "", ErrorLine("receive failed", RESET)},
    {"CloseBeforeReadingTheRequest", Script{}, "", "send failed (", TEST_TIMEOUT, HUGE_PATH},
    {"RequestNeverReadTimesOut", Script{HOLD}, "", ErrorLine("send failed", net::TIMED_OUT), SHORT_TIMEOUT, HUGE_PATH},
    {"ConnectionRefused", std::nullopt, "", ErrorLine("connect failed", REFUSED)},
    {"UrgentByteThenSilenceTimesOut", Script{READ, {Step::Send, STATUS}, {Step::Urgent, "!"}, HOLD}, "", ErrorLine("receive failed", net::TIMED_OUT), SHORT_TIMEOUT},
    {"EmptyHost", std::nullopt, "", "Can't map hostname ''\n", TEST_TIMEOUT, 1, ""},
};
// clang-format on

class FetchClient : public ::testing::TestWithParam<FetchCase> {};

TEST_P(FetchClient, GivesTheWholeReplyOrTheErrorLine) {
    const FetchCase& row = GetParam();
    if (row.error == ErrorLine("receive failed", RESET) && !RESET_SEEN) {
        GTEST_SKIP() << "Wine reports a reset as the end of the stream";
    }
    LoopbackServer server(row.script);
    CFetchClient client(server.port, row.timeout, row.limit);
    const std::string request = BuildHttpRequest(std::string(row.pathSize, 'a'), row.host);
    const auto processorBefore = ProcessorTime();
    EXPECT_EQ(client.HttpFetch(row.host, request), row.reply);
    if (row.timeout == SHORT_TIMEOUT) {  // waiting must not keep the processor busy
        EXPECT_LT(ProcessorTime() - processorBefore, SHORT_TIMEOUT / 2);
    }
    EXPECT_EQ(client.LastError().substr(0, row.error.size()), row.error);
    EXPECT_EQ(client.LastError().empty(), row.error.empty()) << client.LastError();
}

INSTANTIATE_TEST_SUITE_P(Servers, FetchClient, ::testing::ValuesIn(FETCH_CASES),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(FetchClientReuse, AFetchKeepsNothingOfTheOneBefore) {
    LoopbackServer first(Serve(OK_REPLY));
    CFetchClient client(first.port, TEST_TIMEOUT);
    const std::string request = BuildHttpRequest("/", "localhost");
    ASSERT_EQ(client.HttpFetch("localhost", request), OK_REPLY);
    EXPECT_EQ(first.request.get(), request);              // sent whole; the port is closed now
    LoopbackServer second(Serve(NUL_REPLY), first.port);  // a shorter reply
    ASSERT_EQ(second.port, first.port);
    EXPECT_EQ(client.HttpFetch("localhost", request), NUL_REPLY);  // the port is closed now
    EXPECT_EQ(client.HttpFetch("localhost", request), "");         // refused
    EXPECT_EQ(client.Reply(), "");
}

#ifndef _WIN32
// With no descriptor left, the socket cannot be made: the line names why.
TEST(FetchClientSocket, AFailedSocketIsReportedWithItsOwnCode) {
    const int lowestFree = dup(0);
    ASSERT_GE(lowestFree, 0);
    close(lowestFree);
    rlimit limit{};
    getrlimit(RLIMIT_NOFILE, &limit);
    const rlimit none{static_cast<rlim_t>(lowestFree), limit.rlim_max};
    CFetchClient client(1, TEST_TIMEOUT);
    setrlimit(RLIMIT_NOFILE, &none);
    client.HttpFetch("127.0.0.1", BuildHttpRequest("/", "127.0.0.1"));
    setrlimit(RLIMIT_NOFILE, &limit);
    EXPECT_EQ(client.LastError(), ErrorLine("connect failed", EMFILE));
}
#endif
