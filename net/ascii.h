#pragma once

// The few ASCII rules that URLs, requests and replies share. Internal to the
// net library.

#include <cstddef>
#include <optional>
#include <string_view>

namespace ascii {

bool EqualsIgnoringCase(std::string_view text, std::string_view other);
bool StartsWithIgnoringCase(std::string_view text, std::string_view prefix);

// A plain decimal number: digits only, no sign, no blank; nullopt for
// anything else, and for a number too large for std::size_t.
std::optional<std::size_t> ParseDecimal(std::string_view digits);

// True for the bytes that may stand in a URL as they are: the printable
// ASCII characters but the blank.
bool IsUrlByte(char c);

}  // namespace ascii
