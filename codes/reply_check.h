#pragma once

// Whether a server's reply can be taken as the codes file, and where its body
// starts.

#include <cstddef>

struct ReplyCheck {
    bool accepted = false;
    // Offset of the first body byte; meaningful only when accepted.
    std::size_t bodyStart = 0;
};

// Checks the `length` bytes at `reply` (which may hold NUL bytes). Accepted
// only when:
//  - the first line is "HTTP/1." and one digit, a space, "200", and then a
//    space, CR, LF or the end of the reply (the reason phrase is not looked
//    at);
//  - the header ends in an empty line; lines may end in CR LF or LF alone;
//  - the header has no Transfer-Encoding and no Content-Encoding other than
//    identity, as such a body would need decoding;
//  - a Content-Length, if given, is a plain decimal number equal to the
//    length of the body, and any repetition of it carries the same value.
ReplyCheck CheckReply(const char* reply, std::size_t length);
