// Fuzz target for the check of a server's reply: whatever the bytes, the check
// ends without a fault, and a reply it accepts has a 200 status line and a
// body that starts inside the reply, just after an empty line.

#include "codes/reply_check.h"
#include "fuzz/fuzz_property.h"

void FuzzOne(const std::string& reply) {
    const auto [accepted, body] = CheckReply(reply.data(), reply.size());
    if (!accepted) {
        return;
    }
    RequireProperty(reply.substr(0, 7) == "HTTP/1." && reply.substr(8, 4) == " 200",
                    "an accepted reply's status is 200");
    // The shortest reply accepted is "HTTP/1.0 200" LF LF.
    RequireProperty(body >= 14 && body <= reply.size(),
                    "the body starts inside the reply, after the status line");
    RequireProperty(reply.substr(body - 2, 2) == "\n\n" || reply.substr(body - 3, 3) == "\n\r\n",
                    "the body follows an empty line");
}
