// Fuzz target for the request the program sends for a configured codes path.
// Whatever the path holds, the request must be one request line, "GET /"
// then a target that a server can parse (no CR, LF, blank, control or byte
// above 0x7F, none of " < > \ ^ ` { | }), then " HTTP/1.0" and CR LF CR LF;
// and the target, percent-decoded, must name the path that was configured.

#include "fuzz/fuzz_property.h"
#include "net/http_request.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace {

constexpr std::string_view REQUEST_START = "GET /";
constexpr std::string_view METHOD_AND_SPACE = "GET ";
constexpr std::string_view REQUEST_END = " HTTP/1.0\r\n\r\n";
constexpr std::string_view LINE_END_AND_EMPTY_LINE = "\r\n\r\n";
constexpr char CR = '\r';
constexpr char LF = '\n';
constexpr char SLASH = '/';
constexpr char PERCENT = '%';
constexpr unsigned char LAST_CONTROL_OR_BLANK = 0x20;
constexpr unsigned char DELETE = 0x7F;
constexpr std::string_view NEVER_RAW_IN_TARGET = "\"<>\\^`{|}";
constexpr std::size_t ESCAPE_LENGTH = 3;
constexpr int HEX_BASE = 16;
constexpr int VALUE_OF_HEX_A = 10;

bool MayStandInTarget(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte > LAST_CONTROL_OR_BLANK && byte < DELETE &&
           NEVER_RAW_IN_TARGET.find(c) == std::string_view::npos;
}

std::optional<int> HexValue(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + VALUE_OF_HEX_A;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + VALUE_OF_HEX_A;
    }
    return std::nullopt;
}

// Percent-decoding as a server does it: "%" and two hex digits stand for one
// byte; any other "%" stands for itself.
std::string PercentDecoded(std::string_view text) {
    std::string decoded;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == PERCENT && i + ESCAPE_LENGTH <= text.size()) {
            const std::optional<int> high = HexValue(text[i + 1]);
            const std::optional<int> low = HexValue(text[i + 2]);
            if (high && low) {
                decoded += static_cast<char>(*high * HEX_BASE + *low);
                i += ESCAPE_LENGTH - 1;
                continue;
            }
        }
        decoded += text[i];
    }
    return decoded;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view path(reinterpret_cast<const char*>(data), size);
    const std::string request = BuildHttpRequest(path);
    const std::string_view view = request;

    RequireProperty(view.substr(0, REQUEST_START.size()) == REQUEST_START,
                    "the request starts with \"GET /\"");
    RequireProperty(view.size() >= METHOD_AND_SPACE.size() + REQUEST_END.size() &&
                        view.substr(view.size() - REQUEST_END.size()) == REQUEST_END,
                    "the request ends with \" HTTP/1.0\" CR LF CR LF");
    // The request ends in CR LF CR LF, so the first CR and the first LF must
    // be the ones of that ending.
    const std::size_t firstLineEnd = view.size() - LINE_END_AND_EMPTY_LINE.size();
    RequireProperty(view.find(CR) == firstLineEnd && view.find(LF) == firstLineEnd + 1,
                    "the request is one request line and one empty line");

    const std::string_view target = view.substr(
        METHOD_AND_SPACE.size(), view.size() - METHOD_AND_SPACE.size() - REQUEST_END.size());
    for (const char c : target) {
        RequireProperty(MayStandInTarget(c), "the target holds only bytes a server accepts");
    }

    // A path that holds "%" and two hex digits is taken as already encoded,
    // so the decoded target is compared with the decoded path.
    std::string configured(path);
    if (configured.empty() || configured.front() != SLASH) {
        configured.insert(configured.begin(), SLASH);
    }
    RequireProperty(PercentDecoded(target) == PercentDecoded(configured),
                    "the decoded target is the configured path");
    if (path.find(PERCENT) == std::string_view::npos) {
        RequireProperty(PercentDecoded(target) == configured,
                        "the decoded target is the configured path, byte for byte");
    }
    return 0;
}
