#include "net/http_reply.h"

#include "net/ascii.h"
#include "platform/text_file.h"

using platform::CR;
using platform::LF;

namespace {

constexpr std::string_view TRANSFER_ENCODING = "transfer-encoding";
constexpr std::string_view CONTENT_ENCODING = "content-encoding";
constexpr std::string_view CONTENT_LENGTH = "content-length";
constexpr std::string_view IDENTITY = "identity";
constexpr std::string_view LOCATION = "location";

constexpr std::string_view STATUS_PREFIX = "HTTP/1.";
constexpr std::size_t STATUS_DIGITS = 3;

// One line of the reply, without its line end.
struct Line {
    std::string_view text;
    std::size_t next = 0;  // offset just after the line end
    bool ended = false;    // false when the reply ended before a line end
};

Line ReadLine(std::string_view reply, std::size_t start) {
    const std::size_t lf = reply.find(LF, start);
    if (lf == std::string_view::npos) {
        return Line{reply.substr(start), reply.size(), false};
    }
    std::size_t end = lf;
    if (end > start && reply[end - 1] == CR) {
        --end;
    }
    return Line{reply.substr(start, end - start), lf + 1, true};
}

std::string_view TrimTrailingBlanks(std::string_view text) {
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    return TrimTrailingBlanks(text);
}

// Takes one header line into `facts`. Lines without a field separator carry
// nothing the check needs and are passed over.
void TakeField(std::string_view line, ReplyHeader& facts) {
    const std::size_t separator = line.find(':');
    if (separator == std::string_view::npos) {
        return;
    }
    // Blanks between the name and the colon are not allowed, but a reader
    // that forgave them would take "Transfer-Encoding : chunked" as the
    // field; so does this check, so that such a body is never stored. A blank
    // at the start of the line is left alone: it continues the line before.
    const std::string_view name = TrimTrailingBlanks(line.substr(0, separator));
    const std::string_view value = TrimBlanks(line.substr(separator + 1));
    if (ascii::EqualsIgnoringCase(name, TRANSFER_ENCODING)) {
        facts.acceptable = false;
        return;
    }
    if (ascii::EqualsIgnoringCase(name, CONTENT_ENCODING)) {
        if (!value.empty() && !ascii::EqualsIgnoringCase(value, IDENTITY)) {
            facts.acceptable = false;
        }
        return;
    }
    if (ascii::EqualsIgnoringCase(name, LOCATION)) {
        if (facts.location.empty()) {
            facts.location = value;
        }
        return;
    }
    if (!ascii::EqualsIgnoringCase(name, CONTENT_LENGTH)) {
        return;
    }
    const std::optional<std::size_t> length = ascii::ParseDecimal(value);
    if (!length || (facts.contentLength && *facts.contentLength != *length)) {
        facts.acceptable = false;
        return;
    }
    facts.contentLength = length;
}

}  // namespace

int ReplyStatus(std::string_view reply) {
    const std::size_t digitAt = STATUS_PREFIX.size();
    const std::size_t codeAt = digitAt + 2;
    const std::size_t afterCode = codeAt + STATUS_DIGITS;
    if (reply.size() < afterCode || reply.substr(0, digitAt) != STATUS_PREFIX ||
        !ascii::ParseDecimal(reply.substr(digitAt, 1)) || reply[digitAt + 1] != ' ') {
        return 0;
    }
    const std::optional<std::size_t> status =
        ascii::ParseDecimal(reply.substr(codeAt, STATUS_DIGITS));
    if (!status || (reply.size() > afterCode && reply[afterCode] != ' ' && reply[afterCode] != CR &&
                    reply[afterCode] != LF)) {
        return 0;
    }
    return static_cast<int>(*status);
}

ReplyHeader ReadReplyHeader(std::string_view reply) {
    ReplyHeader header;
    Line line = ReadLine(reply, 0);
    while (line.ended) {
        line = ReadLine(reply, line.next);
        if (line.ended && line.text.empty()) {
            header.ended = true;
            header.bodyStart = line.next;
            return header;
        }
        TakeField(line.text, header);
    }
    return header;
}

bool HeaderEndsAfter(std::string_view reply, std::size_t scanned) {
    // The last two bytes already scanned may begin the empty line.
    constexpr std::size_t OVERLAP = 2;
    const std::size_t from = scanned > OVERLAP ? scanned - OVERLAP : 0;
    const std::string_view tail = reply.substr(from);
    return tail.find("\n\n") != std::string_view::npos ||
           tail.find("\n\r\n") != std::string_view::npos;
}
