#include "codes/reply_check.h"

#include "net/http_reply.h"
#include "platform/text_file.h"

#include <cctype>
#include <string_view>

using platform::CR;
using platform::LF;

namespace {

constexpr std::string_view STATUS_PREFIX = "HTTP/1.";
constexpr std::string_view STATUS_OK = "200";
constexpr char SPACE = ' ';

bool IsStatusOk(std::string_view reply) {
    // "HTTP/1." digit space "200", then a space, CR, LF or the end.
    const std::size_t digitAt = STATUS_PREFIX.size();
    const std::size_t spaceAt = digitAt + 1;
    const std::size_t codeAt = spaceAt + 1;
    const std::size_t afterCode = codeAt + STATUS_OK.size();
    if (reply.size() < afterCode || reply.substr(0, digitAt) != STATUS_PREFIX ||
        !std::isdigit(static_cast<unsigned char>(reply[digitAt])) || reply[spaceAt] != SPACE ||
        reply.substr(codeAt, STATUS_OK.size()) != STATUS_OK) {
        return false;
    }
    if (reply.size() == afterCode) {
        return true;
    }
    const char following = reply[afterCode];
    return following == SPACE || following == CR || following == LF;
}

}  // namespace

ReplyCheck CheckReply(const char* reply, std::size_t length) {
    if (reply == nullptr) {
        return {};
    }
    const std::string_view text(reply, length);
    if (!IsStatusOk(text)) {
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
