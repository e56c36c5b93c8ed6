// The HTTPS client under Wine against the web server's HTTPS sites for
// localhost, whose test root the set-up trusted in this Wine prefix only:
// the reply it gives is the one the plain client would. Its refusals and the
// redirects it leaves to the caller are proven through the program.
#include <gtest/gtest.h>

#include "net/https_client.h"
#include "tests/support/temp_folder.h"

namespace {

const std::string E2E = "Z:" NORVALE_E2E_DIR "/", SERVER = E2E + "server/";
// A body with bytes a text reading would change.
const std::string BODY("codes\r\nline\n\0\x1a\xff end", 19);

TEST(HttpsClient, GivesTheStatusLineTheHeaderAndTheBodyFromTheGoodSite) {
    ASSERT_TRUE(test_support::WriteBytes(E2E + "www/https.dat", BODY));
    const int port = std::stoi("0" + test_support::ReadBytes(SERVER + "https-good"));
    FetchFailure failure = FetchFailure::TimedOut;
    CHttpsClient client;
    const std::string reply(
        client.Fetch({Scheme::Https, "localhost", static_cast<std::uint16_t>(port), "/https.dat"},
                     std::chrono::steady_clock::now() + FETCH_TIME_LIMIT, failure));
    EXPECT_EQ(failure, FetchFailure::None);
    EXPECT_EQ(reply.rfind("HTTP/1.1 200 OK\r\n", 0), 0u) << reply;
    EXPECT_NE(reply.find("\r\nContent-Length: 19\r\n"), std::string::npos) << reply;
    EXPECT_EQ(reply.substr(reply.find("\r\n\r\n") + 4), BODY);
}

}  // namespace
