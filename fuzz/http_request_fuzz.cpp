// Fuzz target for the request sent for a configured host and codes path (the
// input up to its first NUL byte is the host, the rest the path): whatever the
// path holds, the request is one request line that a server splits into three
// parts and the Host field, its target, percent-decoded, names the path that
// was configured, and for a host that may be looked up no byte of either adds
// a line.

#include "fuzz/fuzz_property.h"
#include "net/http_request.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view START = "GET /";
constexpr std::string_view VERSION = " HTTP/1.0\r\nHost: ";

int HexValue(char c) {
    const std::string_view digits = "0123456789ABCDEF";
    const std::size_t at = digits.find(static_cast<char>(c >= 'a' ? c - 'a' + 'A' : c));
    return at == std::string_view::npos ? -1 : static_cast<int>(at);
}

// As a server decodes a target: "%" and two hex digits stand for one byte, any
// other "%" for itself.
std::string PercentDecoded(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const int high = i + 2 < text.size() && text[i] == '%' ? HexValue(text[i + 1]) : -1;
        const int low = high >= 0 ? HexValue(text[i + 2]) : -1;
        if (low >= 0) {
            decoded += static_cast<char>(high * 16 + low);
            i += 2;
        } else {
            decoded += text[i];
        }
    }
    return decoded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string input(reinterpret_cast<const char*>(data), size);
    const std::size_t split = std::min(input.find('\0'), input.size());
    const std::string host = input.substr(0, split);
    const std::string path = input.substr(std::min(split + 1, input.size()));
    if (!IsValidHostName(host)) {
        return 0;
    }
    const std::string request = BuildHttpRequest(path, host);
    const std::string end = std::string(VERSION) + host + "\r\n\r\n";
    RequireProperty(request.size() >= START.size() + end.size() &&
                        request.compare(0, START.size(), START) == 0 &&
                        request.compare(request.size() - end.size(), end.size(), end) == 0,
                    "the request is \"GET /\", the target, \" HTTP/1.0\", the Host field and an "
                    "empty line");
    RequireProperty(std::count(request.begin(), request.end(), '\r') == 3 &&
                        std::count(request.begin(), request.end(), '\n') == 3,
                    "the request holds no CR or LF but its line ends");
    const std::string target = request.substr(4, request.size() - 4 - end.size());
    RequireProperty(target.find(' ') == std::string::npos, "the target holds no blank");
    const std::string configured = path.empty() || path[0] != '/' ? "/" + path : path;
    RequireProperty(PercentDecoded(target) == PercentDecoded(configured),
                    "the decoded target is the configured path");
    return 0;
}
