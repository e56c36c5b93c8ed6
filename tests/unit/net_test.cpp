#include "net/fetch_client.h"
#include "net/http_request.h"
#include "net/resolve.h"
#include "tests/support/loopback_server.h"

#include <gtest/gtest.h>

#include <cstring>

using test_support::LoopbackServer;
using test_support::ServerStep;

namespace {

constexpr char LOOPBACK[] = "127.0.0.1";
constexpr std::chrono::milliseconds SHORT_TIMEOUT{300};
constexpr std::chrono::milliseconds TEST_TIMEOUT{5000};
constexpr char OK_REPLY[] = "HTTP/1.0 200 OK\r\n\r\n2024-01-31\r\nA100\r\n";

#ifdef _WIN32
constexpr int REFUSED = WSAECONNREFUSED;
#else
constexpr int REFUSED = ECONNREFUSED;
#endif

std::string ErrorLine(const char* what, int code) {
    return std::string(what) + " (" + std::to_string(code) + ")\n";
}

bool StartsWith(const std::string& text, const std::string& prefix) {
    return text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

TEST(HttpRequest, PathIsSentAsTargetOfAGetWithAnEmptyLine) {
    EXPECT_EQ(BuildHttpRequest("/codes/CODES.DAT"), "GET /codes/CODES.DAT HTTP/1.0\r\n\r\n");
    EXPECT_EQ(BuildHttpRequest("dir/dir/CODES.DAT"), "GET /dir/dir/CODES.DAT HTTP/1.0\r\n\r\n");
    EXPECT_EQ(BuildHttpRequest(""), "GET / HTTP/1.0\r\n\r\n");
}

TEST(HttpRequest, BytesThatCannotStandInATargetArePercentEncoded) {
    EXPECT_EQ(EncodeRequestTarget("/My Codes/CODES 1.DAT"), "/My%20Codes/CODES%201.DAT");
    EXPECT_EQ(EncodeRequestTarget("/\"<>\\^`{|}"), "/%22%3C%3E%5C%5E%60%7B%7C%7D");
    EXPECT_EQ(EncodeRequestTarget(std::string("/\x00\x1F\x7F\x80\xE9\xFF", 7)),
              "/%00%1F%7F%80%E9%FF");
    // "%" and the other characters allowed in a target go as they stand.
    EXPECT_EQ(EncodeRequestTarget("/a%20b/~x-y_z.DAT?q=1&r=[2]#f!$'()*+,;=:@"),
              "/a%20b/~x-y_z.DAT?q=1&r=[2]#f!$'()*+,;=:@");
    // A leading blank is not a leading slash.
    EXPECT_EQ(EncodeRequestTarget(" /x"), "/%20/x");
}

TEST(ResolveHost, NumericLoopbackAddressAndEmptyName) {
    sockaddr_in address{};
    constexpr std::uint16_t PORT = 8080;
    ASSERT_TRUE(ResolveHost(LOOPBACK, PORT, address));
    EXPECT_EQ(address.sin_family, AF_INET);
    EXPECT_EQ(ntohs(address.sin_port), PORT);
    EXPECT_EQ(ntohl(address.sin_addr.s_addr), INADDR_LOOPBACK);

    EXPECT_FALSE(ResolveHost("", PORT, address));
    const sockaddr_in zero{};
    EXPECT_EQ(std::memcmp(&address, &zero, sizeof address), 0);
}

TEST(FetchClient, GoodReplyIsReturnedWholeAfterTheRequestWasSentWhole) {
    LoopbackServer server({ServerStep::ReadRequest(), ServerStep::Send(OK_REPLY)});
    CFetchClient client(server.Port(), TEST_TIMEOUT);
    const std::string request = BuildHttpRequest("/CODES.DAT");
    EXPECT_EQ(client.HttpFetch(LOOPBACK, request), OK_REPLY);
    EXPECT_EQ(client.Reply(), OK_REPLY);
    EXPECT_EQ(client.LastError(), "");
    EXPECT_EQ(server.Request(), request);
}

TEST(FetchClient, ReplySentOneByteAtATimeIsAssembled) {
    LoopbackServer server({ServerStep::ReadRequest(), ServerStep::Drip(OK_REPLY)});
    CFetchClient client(server.Port(), TEST_TIMEOUT);
    EXPECT_EQ(client.HttpFetch(LOOPBACK, BuildHttpRequest("/")), OK_REPLY);
}

TEST(FetchClient, NulBytesDoNotCutTheReply) {
    const std::string reply("HTTP/1.0 200 OK\r\n\r\nA\0B\n", 22);
    LoopbackServer server({ServerStep::ReadRequest(), ServerStep::Send(reply)});
    CFetchClient client(server.Port(), TEST_TIMEOUT);
    EXPECT_EQ(client.HttpFetch(LOOPBACK, BuildHttpRequest("/")), reply);
}

TEST(FetchClient, ReplyOfExactlyTheAreaSizeIsCompleteOneMoreByteIsTooLong) {
    const std::string full(RECEIVE_AREA_SIZE, 'x');
    {
        LoopbackServer server({ServerStep::ReadRequest(), ServerStep::Send(full)});
        CFetchClient client(server.Port(), TEST_TIMEOUT);
        EXPECT_EQ(client.HttpFetch(LOOPBACK, BuildHttpRequest("/")).size(), RECEIVE_AREA_SIZE);
        EXPECT_EQ(client.LastError(), "");
    }
    LoopbackServer server({ServerStep::ReadRequest(), ServerStep::Send(full + "y")});
    CFetchClient client(server.Port(), TEST_TIMEOUT);
    EXPECT_EQ(client.HttpFetch(LOOPBACK, BuildHttpRequest("/")), "");
    EXPECT_EQ(client.LastError(), "reply too long\n");
}

TEST(FetchClient, SilentServerTimesOutWithAnEmptyReply) {
    LoopbackServer server(
        {ServerStep::ReadRequest(), ServerStep::Send("HTTP/1.0 200 OK\r\n"), ServerStep::Hold()});
    CFetchClient client(server.Port(), SHORT_TIMEOUT);
    const auto started = std::chrono::steady_clock::now();
    EXPECT_EQ(client.HttpFetch(LOOPBACK, BuildHttpRequest("/")), "");
    EXPECT_LT(std::chrono::steady_clock::now() - started, TEST_TIMEOUT);
    EXPECT_EQ(client.LastError(), ErrorLine("receive failed", net::TIMED_OUT));
}

TEST(FetchClient, ResetAfterPartOfTheReplyFailsTheFetch) {
    if (test_support::RunningUnderWine()) {
        GTEST_SKIP() << "Wine reports a reset as the end of the stream";
    }
    LoopbackServer server({ServerStep::PeekRequest(),
                           ServerStep::Send("HTTP/1.0 200 OK\r\n\r\npartial"),
                           ServerStep::Reset()});
    CFetchClient client(server.Port(), TEST_TIMEOUT);
    EXPECT_EQ(client.HttpFetch(LOOPBACK, BuildHttpRequest("/")), "");
    EXPECT_TRUE(StartsWith(client.LastError(), "receive failed (")) << client.LastError();
}

TEST(FetchClient, RefusedConnectionAndEmptyHostFailWithTheirLines) {
    CFetchClient client(test_support::UnusedLoopbackPort(), TEST_TIMEOUT);
    EXPECT_EQ(client.HttpFetch(LOOPBACK, BuildHttpRequest("/")), "");
    EXPECT_EQ(client.LastError(), ErrorLine("connect failed", REFUSED));

    EXPECT_EQ(client.HttpFetch("", BuildHttpRequest("/")), "");
    EXPECT_EQ(client.LastError(), "Can't map hostname ''\n");
}

TEST(FetchClient, FailedFetchNeverHandsOutTheEarlierReply) {
    LoopbackServer server({ServerStep::ReadRequest(), ServerStep::Send(OK_REPLY)});
    CFetchClient client(server.Port(), TEST_TIMEOUT);
    ASSERT_EQ(client.HttpFetch(LOOPBACK, BuildHttpRequest("/")), OK_REPLY);
    // The server has ended, so the next connection is refused.
    server.Request();
    EXPECT_EQ(client.HttpFetch(LOOPBACK, BuildHttpRequest("/")), "");
    EXPECT_EQ(client.Reply(), "");
}

TEST(FetchClient, ServerClosingFirstDoesNotEndTheProcess) {
    // The server closes its side at once, then drops the connection while the
    // client is still sending a request far larger than the socket buffers.
    // Sending into the dropped connection must fail with an error code, not
    // with a signal that ends the process.
    constexpr std::size_t HUGE_PATH = 32 * 1024 * 1024;
    LoopbackServer server({ServerStep::ShutdownSend(), ServerStep::AwaitData()});
    CFetchClient client(server.Port(), TEST_TIMEOUT);
    EXPECT_EQ(client.HttpFetch(LOOPBACK, BuildHttpRequest(std::string(HUGE_PATH, 'a'))), "");
    EXPECT_TRUE(StartsWith(client.LastError(), "send failed (")) << client.LastError();
}

TEST(FetchClient, ServerClosingBeforeReadingTheRequestGivesAnEmptyReply) {
    LoopbackServer server({});
    CFetchClient client(server.Port(), TEST_TIMEOUT);
    EXPECT_EQ(client.HttpFetch(LOOPBACK, BuildHttpRequest("/")), "");
}

TEST(FetchClient, SendThatMakesNoProgressTimesOut) {
    constexpr std::size_t HUGE_PATH = 32 * 1024 * 1024;
    LoopbackServer server({ServerStep::Hold()});
    CFetchClient client(server.Port(), SHORT_TIMEOUT);
    EXPECT_EQ(client.HttpFetch(LOOPBACK, BuildHttpRequest(std::string(HUGE_PATH, 'a'))), "");
    EXPECT_EQ(client.LastError(), ErrorLine("send failed", net::TIMED_OUT));
}
