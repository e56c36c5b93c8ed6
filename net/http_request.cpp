#include "net/http_request.h"

#include <cctype>

namespace {

constexpr char REQUEST_METHOD[] = "GET ";
constexpr char REQUEST_VERSION[] = " HTTP/1.0\r\n";
constexpr char HOST_FIELD[] = "Host: ";
constexpr char LINE_END[] = "\r\n";
constexpr char TARGET_ROOT = '/';
constexpr char ESCAPE_MARK = '%';
constexpr char HEX_DIGITS[] = "0123456789ABCDEF";
constexpr unsigned HIGH_NIBBLE_SHIFT = 4;
constexpr unsigned NIBBLE_MASK = 0x0F;

// Bytes up to and including the blank, and DEL upwards, are never sent raw.
constexpr unsigned char LAST_CONTROL_OR_BLANK = 0x20;
constexpr unsigned char FIRST_DELETE_OR_HIGH = 0x7F;
constexpr std::string_view UNSAFE_PUNCTUATION = "\"<>\\^`{|}";
// What a host name may hold besides letters and digits.
constexpr std::string_view HOST_PUNCTUATION = "-_.:";

bool NeedsEscape(unsigned char byte) {
    return byte <= LAST_CONTROL_OR_BLANK || byte >= FIRST_DELETE_OR_HIGH ||
           UNSAFE_PUNCTUATION.find(static_cast<char>(byte)) != std::string_view::npos;
}

}  // namespace

std::string EncodeRequestTarget(std::string_view path) {
    std::string target;
    target.reserve(path.size() + 1);
    if (path.empty() || path.front() != TARGET_ROOT) {
        target += TARGET_ROOT;
    }
    for (const char c : path) {
        const auto byte = static_cast<unsigned char>(c);
        if (!NeedsEscape(byte)) {
            target += c;
            continue;
        }
        target += ESCAPE_MARK;
        target += HEX_DIGITS[byte >> HIGH_NIBBLE_SHIFT];
        target += HEX_DIGITS[byte & NIBBLE_MASK];
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
