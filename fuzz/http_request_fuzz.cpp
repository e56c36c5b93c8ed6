// Fuzz target for the request sent for a configured codes path: whatever the
// path holds, the request is one request line that a server splits into three
// parts, and its target, percent-decoded, names the path that was configured.

#include "fuzz/fuzz_property.h"
#include "net/http_request.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view START = "GET /";
constexpr std::string_view END = " HTTP/1.0\r\n\r\n";

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
    const std::string path(reinterpret_cast<const char*>(data), size);
    const std::string request = BuildHttpRequest(path);
    RequireProperty(request.size() >= START.size() + END.size() &&
                        request.compare(0, START.size(), START) == 0 &&
                        request.compare(request.size() - END.size(), END.size(), END) == 0,
                    "the request is \"GET /\", the target, \" HTTP/1.0\" and an empty line");
    const std::string target = request.substr(4, request.size() - 4 - END.size());
    RequireProperty(target.find_first_of(" \r\n") == std::string::npos,
                    "the target holds no blank and no line end");
    const std::string configured = path.empty() || path[0] != '/' ? "/" + path : path;
    RequireProperty(PercentDecoded(target) == PercentDecoded(configured),
                    "the decoded target is the configured path");
    return 0;
}
