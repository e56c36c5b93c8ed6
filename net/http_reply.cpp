#include "net/http_reply.h"

#include "platform/text_file.h"

#include <cctype>
#include <limits>

using platform::CR;
using platform::LF;

namespace {

constexpr char SPACE = ' ';
constexpr char TAB = '\t';
constexpr char FIELD_SEPARATOR = ':';

constexpr std::string_view TRANSFER_ENCODING = "transfer-encoding";
constexpr std::string_view CONTENT_ENCODING = "content-encoding";
constexpr std::string_view CONTENT_LENGTH = "content-length";
constexpr std::string_view IDENTITY = "identity";
constexpr std::string_view LOCATION = "location";

constexpr std::string_view STATUS_PREFIX = "HTTP/1.";
constexpr std::size_t STATUS_DIGITS = 3;

constexpr std::size_t DECIMAL_BASE = 10;

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

bool EqualsIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::string_view TrimTrailingBlanks(std::string_view text) {
    while (!text.empty() && (text.back() == SPACE || text.back() == TAB)) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == SPACE || text.front() == TAB)) {
        text.remove_prefix(1);
    }
    return TrimTrailingBlanks(text);
}

// A plain decimal number: digits only, no sign, no list, no overflow.
std::optional<std::size_t> ParseDecimal(std::string_view text) {
    if (text.empty()) {
        return std::nullopt;
    }
    std::size_t value = 0;
    for (const char c : text) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return std::nullopt;
        }
        const auto digit = static_cast<std::size_t>(c - '0');
        if (value > (std::numeric_limits<std::size_t>::max() - digit) / DECIMAL_BASE) {
            return std::nullopt;
        }
        value = value * DECIMAL_BASE + digit;
    }
    return value;
}

// Takes one header line into `facts`. Lines without a field separator carry
// nothing the check needs and are passed over.
void TakeField(std::string_view line, ReplyHeader& facts) {
    const std::size_t separator = line.find(FIELD_SEPARATOR);
    if (separator == std::string_view::npos) {
        return;
    }
    // Blanks between the name and the colon are not allowed, but a reader
    // that forgave them would take "Transfer-Encoding : chunked" as the
    // field; so does this check, so that such a body is never stored. A blank
    // at the start of the line is left alone: it continues the line before.
    const std::string_view name = TrimTrailingBlanks(line.substr(0, separator));
    const std::string_view value = TrimBlanks(line.substr(separator + 1));
    if (EqualsIgnoringCase(name, TRANSFER_ENCODING)) {
        facts.acceptable = false;
        return;
    }
    if (EqualsIgnoringCase(name, CONTENT_ENCODING)) {
        if (!value.empty() && !EqualsIgnoringCase(value, IDENTITY)) {
            facts.acceptable = false;
        }
        return;
    }
    if (EqualsIgnoringCase(name, LOCATION)) {
        if (facts.location.empty()) {
            facts.location = value;
        }
        return;
    }
    if (!EqualsIgnoringCase(name, CONTENT_LENGTH)) {
        return;
    }
    const std::optional<std::size_t> length = ParseDecimal(value);
    if (!length || (facts.contentLength && *facts.contentLength != *length)) {
        facts.acceptable = false;
        return;
    }
    facts.contentLength = length;
}

}  // namespace

int ReplyStatus(std::string_view reply) {
    const std::size_t digitAt = STATUS_PREFIX.size();
    const std::size_t spaceAt = digitAt + 1;
    const std::size_t codeAt = spaceAt + 1;
    const std::size_t afterCode = codeAt + STATUS_DIGITS;
    if (reply.size() < afterCode || reply.substr(0, digitAt) != STATUS_PREFIX ||
        !std::isdigit(static_cast<unsigned char>(reply[digitAt])) || reply[spaceAt] != SPACE) {
        return 0;
    }
    int status = 0;
    for (const char c : reply.substr(codeAt, STATUS_DIGITS)) {
        if (!std::isdigit(static_cast<unsigned char>(c))) {
            return 0;
        }
        status = status * static_cast<int>(DECIMAL_BASE) + (c - '0');
    }
    if (reply.size() > afterCode && reply[afterCode] != SPACE && reply[afterCode] != CR &&
        reply[afterCode] != LF) {
        return 0;
    }
    return status;
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
