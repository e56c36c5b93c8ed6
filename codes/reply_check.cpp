#include "codes/reply_check.h"

#include "net/http_reply.h"
#include <string_view>

namespace {

constexpr int HTTP_OK = 200;

}  // namespace

ReplyCheck CheckReply(const char* reply, std::size_t length) {
    if (reply == nullptr) {
        return {};
    }
    const std::string_view text(reply, length);
    if (ReplyStatus(text) != HTTP_OK) {
        return {};
    }
    const ReplyHeader header = ReadReplyHeader(text);
    if (!header.ended || !header.acceptable) {
        return {};
    }
    if (header.contentLength && *header.contentLength != length - header.bodyStart) {
        return {};
    }
    return ReplyCheck{true, header.bodyStart};
}
