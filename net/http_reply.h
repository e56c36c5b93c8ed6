#pragma once

// What the header of a server's reply says about its body. The status line
// is not judged here; the reply check does that.

#include <cstddef>
#include <optional>
#include <string_view>

struct ReplyHeader {
    // The header ends at the first empty line after the status line; lines
    // may end in CR LF or LF alone.
    bool ended = false;
    // Offset of the first body byte; meaningful only when `ended`.
    std::size_t bodyStart = 0;
    // False when the body would need decoding (a Transfer-Encoding, a
    // Content-Encoding other than identity) or a Content-Length is not a
    // plain decimal number, or is repeated with another value.
    bool acceptable = true;
    std::optional<std::size_t> contentLength;
    // The first Location field's value, without the blanks around it; empty
    // when there is none.
    std::string_view location;
};

// The status of a reply whose first line is "HTTP/1." and one digit, a
// space, the three digits of the status, and then a space, CR, LF or the
// end of the reply (the reason phrase is not looked at); 0 for any other.
int ReplyStatus(std::string_view reply);

// Reads the header at the start of `reply`, which may hold NUL bytes.
ReplyHeader ReadReplyHeader(std::string_view reply);

// For a reply read as it arrives, whose first `scanned` bytes held no end of
// a header: true when the bytes from there on complete one (an LF, then an
// optional CR and another LF).
bool HeaderEndsAfter(std::string_view reply, std::size_t scanned);
