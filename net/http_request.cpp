#include "net/http_request.h"

#include "net/ascii.h"

#include <cctype>

namespace {

constexpr char REQUEST_METHOD[] = "GET ";
constexpr char REQUEST_VERSION[] = " HTTP/1.0\r\n";
constexpr char HOST_FIELD[] = "Host: ";
constexpr char LINE_END[] = "\r\n";
constexpr char HEX_DIGITS[] = "0123456789ABCDEF";

// Besides the bytes that cannot stand in a URL, these are never sent raw.
constexpr std::string_view UNSAFE_PUNCTUATION = "\"<>\\^`{|}";
// What a host name may hold besides letters and digits.
constexpr std::string_view HOST_PUNCTUATION = "-_.:";

bool NeedsEscape(char c) {
    return !ascii::IsUrlByte(c) || UNSAFE_PUNCTUATION.find(c) != std::string_view::npos;
}

}  // namespace

std::string EncodeRequestTarget(std::string_view path) {
    std::string target;
    target.reserve(path.size() + 1);
    if (path.empty() || path.front() != '/') {
        target += '/';
    }
    for (const char c : path) {
        if (!NeedsEscape(c)) {
            target += c;
            continue;
        }
        const auto byte = static_cast<unsigned char>(c);
        target += '%';
        target += HEX_DIGITS[byte >> 4];
        target += HEX_DIGITS[byte & 0x0F];
    }
    return target;
}

bool IsValidHostName(std::string_view host) {
    for (const char c : host) {
        const auto byte = static_cast<unsigned char>(c);
        if (!std::isalnum(byte) && HOST_PUNCTUATION.find(c) == std::string_view::npos) {
            return false;
        }
    }
    return true;
}

std::string BuildHttpRequest(std::string_view path, std::string_view host) {
    return REQUEST_METHOD + EncodeRequestTarget(path) + REQUEST_VERSION + HOST_FIELD +
           std::string(host) + LINE_END + LINE_END;
}
