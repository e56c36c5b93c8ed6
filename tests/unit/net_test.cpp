#include "net/fetch_client.h"
#include "net/http_request.h"
#include "net/resolve.h"
#include "tests/support/loopback_server.h"

#include <gtest/gtest.h>

#include <ctime>
#include <optional>

using test_support::LoopbackServer;
using Step = test_support::ServerStep;
using Script = std::vector<Step>;

namespace {

constexpr char LOOPBACK[] = "127.0.0.1";
constexpr std::chrono::milliseconds SHORT_TIMEOUT{300};
constexpr std::chrono::milliseconds TEST_TIMEOUT{5000};
// A path far larger than the socket buffers: the client is still sending it
// when the server acts.
constexpr std::size_t HUGE_PATH = 32 * 1024 * 1024;
const std::string OK_REPLY = "HTTP/1.0 200 OK\r\n\r\n2024-01-31\r\nA100\r\n";
const std::string NUL_REPLY("HTTP/1.0 200 OK\r\n\r\nA\0B\n", 22);
const std::string FULL_AREA(RECEIVE_AREA_SIZE, 'x');

#ifdef _WIN32
constexpr int REFUSED = WSAECONNREFUSED;
constexpr int RESET = WSAECONNRESET;
#else
constexpr int REFUSED = ECONNREFUSED;
constexpr int RESET = ECONNRESET;
#endif

std::string ErrorLine(const char* what, int code) {
    return std::string(what) + " (" + std::to_string(code) + ")\n";
}

// The processor time this process has used so far.
std::chrono::milliseconds ProcessorTime() {
#ifdef _WIN32
    FILETIME created, exited, kernel, user;
    GetProcessTimes(GetCurrentProcess(), &created, &exited, &kernel, &user);
    const auto ticks = [](FILETIME t) {
        return (static_cast<long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    constexpr long long TICKS_PER_MILLISECOND = 10000;
    return std::chrono::milliseconds((ticks(kernel) + ticks(user)) / TICKS_PER_MILLISECOND);
#else
    return std::chrono::milliseconds(std::clock() * 1000 / CLOCKS_PER_SEC);
#endif
}

Script Serve(const std::string& reply) {
    return {Step::ReadRequest(), Step::Send(reply)};
}

}  // namespace

TEST(HttpRequest, TargetStartsWithASlashAndPercentEncodesWhatCannotStandInIt) {
    const std::pair<std::string, std::string> cases[] = {
        {"dir/CODES.DAT", "/dir/CODES.DAT"},
        {"", "/"},
        {" /x", "/%20/x"},
        {"/My Codes/A 1.DAT", "/My%20Codes/A%201.DAT"},
        {"/\"<>\\^`{|}", "/%22%3C%3E%5C%5E%60%7B%7C%7D"},
        {std::string("/\x00\x1F\x7F\x80\xE9\xFF", 7), "/%00%1F%7F%80%E9%FF"},
        // "%" and the other characters allowed in a target go as they stand.
        {"/a%20b/~x-y_z.DAT?q=1&r=[2]#f!$'()*+,;=:@", "/a%20b/~x-y_z.DAT?q=1&r=[2]#f!$'()*+,;=:@"},
    };
    for (const auto& [path, target] : cases) {
        SCOPED_TRACE(path);
        EXPECT_EQ(EncodeRequestTarget(path), target);
        EXPECT_EQ(BuildHttpRequest(path, "codes.example:80"),
                  "GET " + target + " HTTP/1.0\r\nHost: codes.example:80\r\n\r\n");
    }
    for (const char* host : {"codes.example.org", "127.0.0.1", "my_host-1", ""}) {
        EXPECT_TRUE(IsValidHostName(host)) << host;
    }
    for (const char* host : {"a b", "a\r\nX: y", "a/b", "h\xE9te", "a@b"}) {
        EXPECT_FALSE(IsValidHostName(host)) << host;
    }
}

TEST(ResolveHost, NameIsLookedUpAndThePortSet) {
    sockaddr_in address{};
    ASSERT_TRUE(ResolveHost("localhost", 8080, address));
    EXPECT_EQ(ntohl(address.sin_addr.s_addr), INADDR_LOOPBACK);
    EXPECT_EQ(ntohs(address.sin_port), 8080);
}

struct FetchCase {
    const char* name;
    std::optional<Script> script;  // none: nothing listens on the port
    std::string reply;             // what the fetch returns
    // LastError(): the whole line, or its start where the system picks the code.
    std::string error;
    std::chrono::milliseconds timeout = TEST_TIMEOUT;
    std::size_t pathSize = 1;  // the path asked for is that many 'a's
    const char* host = LOOPBACK;
};

const FetchCase FETCH_CASES[] = {
    {"GoodReplySentWhole", Serve(OK_REPLY), OK_REPLY, ""},
    {"ReplyDrippedByteByByte", Script{Step::ReadRequest(), Step::Drip(OK_REPLY)}, OK_REPLY, ""},
    {"NulBytesKept", Serve(NUL_REPLY), NUL_REPLY, ""},
    {"ReplyFillingTheArea", Serve(FULL_AREA), FULL_AREA, ""},
    {"ReplyOneByteOverTheArea", Serve(FULL_AREA + "y"), "", "reply too long\n"},
    {"SilenceTimesOut",
     Script{Step::ReadRequest(), Step::Send("HTTP/1.0 200 OK\r\n"), Step::Hold()}, "",
     ErrorLine("receive failed", net::TIMED_OUT), SHORT_TIMEOUT},
    {"ResetMidReply",
     Script{Step::ReadRequest(), Step::Send(OK_REPLY.substr(0, 25)), Step::Reset()}, "",
     ErrorLine("receive failed", RESET)},
    {"CloseBeforeReadingTheRequest", Script{}, "", "send failed (", TEST_TIMEOUT, HUGE_PATH},
    {"RequestNeverReadTimesOut", Script{Step::Hold()}, "", ErrorLine("send failed", net::TIMED_OUT),
     SHORT_TIMEOUT, HUGE_PATH},
    {"ConnectionRefused", std::nullopt, "", ErrorLine("connect failed", REFUSED)},
    {"UrgentByteThenSilenceTimesOut",
     Script{Step::ReadRequest(), Step::Send("HTTP/1.0 200 OK\r\n"), Step::SendUrgent('!'),
            Step::Hold()},
     "", ErrorLine("receive failed", net::TIMED_OUT), SHORT_TIMEOUT},
    {"EmptyHost", std::nullopt, "", "Can't map hostname ''\n", TEST_TIMEOUT, 1, ""},
};

void PrintTo(const FetchCase& row, std::ostream* out) {
    *out << row.name;
}

class FetchClient : public ::testing::TestWithParam<FetchCase> {};

TEST_P(FetchClient, ReturnsTheWholeReplyOrNothingAndTheErrorLine) {
    const FetchCase& row = GetParam();
    if (row.error == ErrorLine("receive failed", RESET) && test_support::RunningUnderWine()) {
        GTEST_SKIP() << "Wine reports a reset as the end of the stream";
    }
    std::optional<LoopbackServer> server;
    if (row.script) {
        server.emplace(*row.script);
    }
    CFetchClient client(server ? server->Port() : test_support::UnusedLoopbackPort(), row.timeout);
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

TEST(FetchClientReuse, EachFetchStartsAfreshAndAFailedOneHandsOutNothing) {
    const std::string later = "HTTP/1.0 200 OK\r\n\r\nlater\r\n";
    LoopbackServer first(Serve(OK_REPLY));
    CFetchClient client(first.Port(), TEST_TIMEOUT);
    const std::string request = BuildHttpRequest("/", LOOPBACK);
    ASSERT_EQ(client.HttpFetch(LOOPBACK, request), OK_REPLY);
    EXPECT_EQ(first.Request(), request);  // sent whole; the port is closed now
    {
        LoopbackServer second(Serve(later), LOOPBACK, first.Port());
        ASSERT_EQ(second.Port(), first.Port());
        EXPECT_EQ(client.HttpFetch(LOOPBACK, request), later);
    }
    EXPECT_EQ(client.HttpFetch(LOOPBACK, request), "");  // refused
    EXPECT_EQ(client.Reply(), "");
}
