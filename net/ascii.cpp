#include "net/ascii.h"

#include <algorithm>
#include <limits>

namespace ascii {

namespace {

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameIgnoringCase(char a, char b) {
    return Lower(a) == Lower(b);
}

}  // namespace

bool EqualsIgnoringCase(std::string_view text, std::string_view other) {
    return text.size() == other.size() &&
           std::equal(text.begin(), text.end(), other.begin(), SameIgnoringCase);
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix) {
    return EqualsIgnoringCase(text.substr(0, prefix.size()), prefix);
}

std::optional<std::size_t> ParseDecimal(std::string_view digits) {
    if (digits.empty()) {
        return std::nullopt;
    }
    std::size_t value = 0;
    for (const char c : digits) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        const auto digit = static_cast<std::size_t>(c - '0');
        if (value > (std::numeric_limits<std::size_t>::max() - digit) / 10) {
            return std::nullopt;
        }
        value = value * 10 + digit;
    }
    return value;
}

bool IsUrlByte(char c) {
    return c > ' ' && c < '\x7F';
}

}  // namespace ascii
