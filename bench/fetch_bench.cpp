// One retrieval of a codes file, as the program makes it at start-up: the
// fetch over HTTP/1.0, the check of the reply and the safe write of the
// working copy. Run as a whole process so that its time can be set beside
// that of another HTTP client fetching the same file.
//
//   fetch_bench HOST PATH PORT WORKING_COPY
//
// Exit status 0 when the working copy was written, 1 when the retrieval
// failed, 2 for a wrong command line.
#include "codes/retrieve.h"
#include "net/fetch_client.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>
#include <string>

namespace {

constexpr int ARGUMENT_COUNT = 5;
constexpr int EXIT_USAGE = 2;
constexpr int DECIMAL = 10;

int Usage() {
    std::fputs("usage: fetch_bench HOST PATH PORT WORKING_COPY\n", stderr);
    return EXIT_USAGE;
}

// The port number in `text`; false unless it is a whole number from 1 to
// 65535.
bool ParsePort(const char* text, std::uint16_t& port) {
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, DECIMAL);
    if (end == text || *end != '\0' || value == 0 ||
        value > std::numeric_limits<std::uint16_t>::max()) {
        return false;
    }
    port = static_cast<std::uint16_t>(value);
    return true;
}

}  // namespace

int main(int argc, char** argv) {
    std::uint16_t port = 0;
    if (argc != ARGUMENT_COUNT || !ParsePort(argv[3], port)) {
        return Usage();
    }
    const std::string host = argv[1];
    const std::string codesPath = argv[2];
    const std::string workingCopy = argv[4];

    CFetchClient client;
    const auto fetch = [&client](const Url& url, std::chrono::steady_clock::time_point end,
                                 FetchFailure& failure) { return client.Fetch(url, end, failure); };
    // The port goes in the host line, as a user would write it.
    const std::string hostLine =
        port == HTTP_DEFAULT_PORT ? host : host + ":" + std::to_string(port);
    std::string dateLine;
    RetrieveFailure failure;
    const RetrieveResult result =
        RetrieveCodes(hostLine, codesPath, fetch, workingCopy, dateLine, failure);
    if (result != RetrieveResult::Success) {
        std::fprintf(stderr, "fetch_bench: retrieval from %s failed\n", host.c_str());
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
