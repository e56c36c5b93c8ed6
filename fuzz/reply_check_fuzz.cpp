// Fuzz target for the check of a server's reply: whatever the bytes, the check
// ends without a fault, and a reply it accepts has a 200 status line and a
// body that starts inside the reply, just after an empty line.

#include "codes/reply_check.h"
#include "fuzz/fuzz_property.h"

#include <cstddef>
#include <cstdint>
#include <string_view>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view reply(reinterpret_cast<const char*>(data), size);
    const ReplyCheck check = CheckReply(reply.data(), reply.size());
    if (!check.accepted) {
        return 0;
    }
    RequireProperty(reply.substr(0, 7) == "HTTP/1." && reply.substr(8, 4) == " 200",
                    "an accepted reply's status is 200");
    RequireProperty(check.bodyStart <= size, "the body starts inside the reply");
    const std::string_view header = reply.substr(0, check.bodyStart);
    const auto endsWith = [&header](std::string_view end) {
        return header.size() >= end.size() && header.substr(header.size() - end.size()) == end;
    };
    RequireProperty(endsWith("\n\n") || endsWith("\n\r\n"), "the body follows an empty line");
    return 0;
}
