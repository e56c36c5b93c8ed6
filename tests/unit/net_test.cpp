#include "net/fetch_client.h"
#include "net/http_request.h"
#include "net/socket_api.h"
#include "tests/support/loopback_server.h"

#include <gtest/gtest.h>

#include <ctime>
#include <future>
#include <optional>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#include <unistd.h>
#endif

namespace {

using namespace test_support;

// The fetch client's time-outs.
constexpr std::chrono::milliseconds SHORT_TIMEOUT{300}, TEST_TIMEOUT{5000};
// A trickling server's pause between bytes, and a whole-fetch limit it
// outlasts; a dripping server's pause, which has each byte arrive alone.
constexpr std::chrono::milliseconds TRICKLE_PAUSE{100}, SHORT_LIMIT{700}, DRIP_PAUSE{5};

#ifdef _WIN32
constexpr int REFUSED = WSAECONNREFUSED, RESET = WSAECONNRESET;
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
const bool RESET_SEEN = true;

std::chrono::milliseconds ProcessorTime() {
    return std::chrono::milliseconds(std::clock() * 1000 / CLOCKS_PER_SEC);
}
#endif

// A path far larger than the socket buffers: the client is still sending it
// when the server acts.
constexpr std::size_t HUGE_PATH = 32 * 1024 * 1024;
const std::string STATUS = "HTTP/1.0 200 OK\r\n", OK_REPLY = STATUS + "\r\n2024-01-31\r\nA100\r\n";
const std::string SIZED_REPLY = STATUS + "Content-Length: 6\r\n\r\nA100\r\n";
const std::string NUL_REPLY("HTTP/1.0 200 OK\r\n\r\nA\0B\n", 22), FULL_AREA(RECEIVE_AREA_SIZE, 'x');

std::string ErrorLine(const char* what, int code) {
    return std::string(what) + " (" + std::to_string(code) + ")\n";
}

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
    std::optional<Script> script = std::nullopt;  // none: nothing listens on the port
    // What the fetch gives, why it failed, and the line on standard error (or
    // its start, where the system picks the code).
    std::string reply = "";
    FetchFailure failure = FetchFailure::None;
    std::string error = "";
    std::chrono::milliseconds timeout = TEST_TIMEOUT, limit = FETCH_TIME_LIMIT;
    std::size_t pathSize = 1;        // the path asked for is that many 'a's
    const char* host = "127.0.0.1";  // a name such as "localhost" is looked up
    // A stand-in for the name service, giving these addresses for any name,
    // and only once the fetch has ended when it is slow.
    std::optional<std::vector<const char*>> addresses = std::nullopt;
    bool slowLookup = false;
    friend void PrintTo(const FetchCase& row, std::ostream* out) { *out << row.name; }
};

using F = FetchFailure;
using Addresses = std::vector<const char*>;
const std::string RECEIVE_TIMED_OUT = ErrorLine("receive failed", net::TIMED_OUT);

// clang-format off
const FetchCase FETCH_CASES[] = {
    {.name = "GoodReplySentWholeToAHostLookedUpByName", .script = Serve(OK_REPLY), .reply = OK_REPLY, .host = "localhost"},
    // The end of the header is found across receives, and the length ends the reply.
    {.name = "DrippedReplyEndsAtItsContentLengthOnAnOpenConnection", .script = Script{READ, {Step::Send, SIZED_REPLY, 1, DRIP_PAUSE}, HOLD}, .reply = SIZED_REPLY},
    {.name = "NulBytesKept", .script = Serve(NUL_REPLY), .reply = NUL_REPLY},
    {.name = "ReplyFillingTheArea", .script = Serve(FULL_AREA), .reply = FULL_AREA},
    {.name = "ReplyOneByteOverTheArea", .script = Serve(FULL_AREA + "y"), .failure = F::TooLarge, .error = "reply too long\n"},
    {.name = "TricklingServerMeetsTheTimeLimit", .script = Script{READ, {Step::Send, OK_REPLY, 1, TRICKLE_PAUSE}},
     .failure = F::TimeLimit, .error = RECEIVE_TIMED_OUT, .timeout = SHORT_TIMEOUT, .limit = SHORT_LIMIT},
    {.name = "SilenceTimesOut", .script = Script{READ, {Step::Send, STATUS}, HOLD}, .failure = F::TimedOut, .error = RECEIVE_TIMED_OUT, .timeout = SHORT_TIMEOUT},
    {.name = "UrgentByteThenSilenceTimesOut", .script = Script{READ, {Step::Send, STATUS}, {Step::Urgent, "!"}, HOLD},
     .failure = F::TimedOut, .error = RECEIVE_TIMED_OUT, .timeout = SHORT_TIMEOUT},
    {.name = "ResetMidReply", .script = Script{READ, {Step::Send, OK_REPLY.substr(0, 25)}, {Step::Reset, ""}},
     .failure = F::ConnectionLost, .error = ErrorLine("receive failed", RESET)},
    {.name = "CloseBeforeReadingTheRequest", .script = Script{}, .failure = F::ConnectionLost, .error = "send failed (", .pathSize = HUGE_PATH},
    {.name = "RequestNeverReadTimesOut", .script = Script{HOLD}, .failure = F::TimedOut, .error = ErrorLine("send failed", net::TIMED_OUT),
     .timeout = SHORT_TIMEOUT, .pathSize = HUGE_PATH},
    {.name = "ConnectionRefused", .failure = F::NoAnswer, .error = ErrorLine("connect failed", REFUSED)},
    {.name = "EmptyHost", .failure = F::UnknownHost, .error = "Can't map hostname ''\n", .host = ""},
    // The name service's answers: nothing listens on 127.0.0.2.
    {.name = "SecondAddressAnswersWhenTheFirstRefuses", .script = Serve(OK_REPLY), .reply = OK_REPLY, .host = "codes.test",
     .addresses = Addresses{"127.0.0.2", "127.0.0.1"}},
    {.name = "NameWithoutAddresses", .failure = F::UnknownHost, .error = "Can't map hostname 'codes.test'\n", .host = "codes.test",
     .addresses = Addresses{}},
    {.name = "SlowLookupMeetsTheTimeLimit", .failure = F::TimeLimit, .error = "lookup failed (time limit)\n", .limit = SHORT_LIMIT,
     .host = "codes.test", .addresses = Addresses{"127.0.0.1"}, .slowLookup = true},
};
// clang-format on

// One fetch of the path `pathSize` on 127.0.0.1:`port` (or `host`), within `limit`.
std::string Fetch(CFetchClient& client, std::uint16_t port, FetchFailure& failure,
                  std::size_t pathSize = 1, const char* host = "127.0.0.1",
                  std::chrono::milliseconds limit = FETCH_TIME_LIMIT) {
    const Url url{Scheme::Http, host, port, "/" + std::string(pathSize, 'a')};
    return std::string(client.Fetch(url, std::chrono::steady_clock::now() + limit, failure));
}

class FetchClient : public ::testing::TestWithParam<FetchCase> {};

TEST_P(FetchClient, GivesTheWholeReplyOrSaysWhyNot) {
    const FetchCase& row = GetParam();
    if (row.error == ErrorLine("receive failed", RESET) && !RESET_SEEN) {
        GTEST_SKIP() << "Wine reports a reset as the end of the stream";
    }
    LoopbackServer server(row.script);
    std::promise<void> fetched;
    NameLookup lookUp = LookUpName;
    if (row.addresses) {
        lookUp = [row, done = fetched.get_future().share()](const std::string&) {
            if (row.slowLookup) {
                done.wait_for(STEP_LIMIT);
            }
            std::vector<in_addr> found(row.addresses->size());
            for (std::size_t i = 0; i < found.size(); ++i) {
                found[i].s_addr = inet_addr((*row.addresses)[i]);
            }
            return found;
        };
    }
    CFetchClient client(row.timeout, lookUp);
    FetchFailure failure = F::None;
    const auto processorBefore = ProcessorTime();
    testing::internal::CaptureStderr();
    EXPECT_EQ(Fetch(client, server.port, failure, row.pathSize, row.host, row.limit), row.reply);
    fetched.set_value();
    const std::string error = testing::internal::GetCapturedStderr();
    // Waiting must not keep the processor busy (building a huge request does).
    if (row.timeout == SHORT_TIMEOUT && row.pathSize != HUGE_PATH) {
        EXPECT_LT(ProcessorTime() - processorBefore, SHORT_TIMEOUT / 2);
    }
    EXPECT_EQ(failure, row.failure);
    EXPECT_EQ(error.substr(0, row.error.size()), row.error);
    EXPECT_EQ(error.empty(), row.error.empty()) << error;
}

INSTANTIATE_TEST_SUITE_P(Servers, FetchClient, ::testing::ValuesIn(FETCH_CASES),
                         [](const auto& test) { return std::string(test.param.name); });

TEST(FetchClientReuse, AFetchKeepsNothingOfTheOneBefore) {
    LoopbackServer first(Serve(OK_REPLY));
    CFetchClient client(TEST_TIMEOUT);
    FetchFailure failure = F::None;
    ASSERT_EQ(Fetch(client, first.port, failure, 0), OK_REPLY);
    // Sent whole, its Host field naming the port; the port is closed now.
    EXPECT_EQ(first.request.get(),
              "GET / HTTP/1.0\r\nHost: 127.0.0.1:" + std::to_string(first.port) + "\r\n\r\n");
    LoopbackServer second(Serve(NUL_REPLY), first.port);  // a shorter reply
    ASSERT_EQ(second.port, first.port);
    EXPECT_EQ(Fetch(client, first.port, failure, 0), NUL_REPLY);  // the port is closed now
    EXPECT_EQ(Fetch(client, first.port, failure, 0), "");         // refused
    EXPECT_EQ(failure, F::NoAnswer);
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
    CFetchClient client(TEST_TIMEOUT);
    FetchFailure failure = F::None;
    testing::internal::CaptureStderr();
    setrlimit(RLIMIT_NOFILE, &none);
    Fetch(client, 1, failure);
    setrlimit(RLIMIT_NOFILE, &limit);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), ErrorLine("connect failed", EMFILE));
}
#endif
