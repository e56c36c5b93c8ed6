// Fuzz target for the check of a server's reply. The reply check decides
// which bytes become the working copy, so an accepted reply must be exactly
// what a user expects: a 200 status line, a header that ends at its first
// empty line, no encoded body, a Content-Length that matches, and the body
// as the whole tail after that empty line. The expectations are derived here
// again, independently of the code under test.

#include "codes/reply_check.h"
#include "fuzz/fuzz_property.h"

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace {

constexpr char CR = '\r';
constexpr char LF = '\n';
constexpr char SPACE = ' ';
constexpr char TAB = '\t';
constexpr char COLON = ':';

// The status line: "HTTP/1." and one digit, then " 200", then a space, CR, LF
// or the end of the reply.
constexpr std::string_view VERSION_PREFIX = "HTTP/1.";
constexpr std::string_view SPACE_AND_SUCCESS = " 200";
constexpr std::size_t VERSION_DIGIT_AT = VERSION_PREFIX.size();
constexpr std::size_t SUCCESS_AT = VERSION_DIGIT_AT + 1;
constexpr std::size_t AFTER_STATUS = SUCCESS_AT + SPACE_AND_SUCCESS.size();

constexpr std::string_view TRANSFER_ENCODING = "transfer-encoding";
constexpr std::string_view CONTENT_ENCODING = "content-encoding";
constexpr std::string_view CONTENT_LENGTH = "content-length";
constexpr std::string_view IDENTITY = "identity";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

char Lower(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (Lower(a[i]) != Lower(b[i])) {
            return false;
        }
    }
    return true;
}

bool IsBlank(char c) {
    return c == SPACE || c == TAB;
}

std::string_view DropTrailingBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.back())) {
        text.remove_suffix(1);
    }
    return text;
}

std::string_view DropBlanks(std::string_view text) {
    while (!text.empty() && IsBlank(text.front())) {
        text.remove_prefix(1);
    }
    return DropTrailingBlanks(text);
}

bool IsSuccessStatus(std::string_view reply) {
    if (reply.size() < AFTER_STATUS || reply.substr(0, VERSION_PREFIX.size()) != VERSION_PREFIX ||
        !IsDigit(reply[VERSION_DIGIT_AT]) ||
        reply.substr(SUCCESS_AT, SPACE_AND_SUCCESS.size()) != SPACE_AND_SUCCESS) {
        return false;
    }
    if (reply.size() == AFTER_STATUS) {
        return true;
    }
    const char next = reply[AFTER_STATUS];
    return next == SPACE || next == CR || next == LF;
}

// Offset just after the first empty line: an LF followed at once by LF, or by
// CR LF. The status line cannot be empty, so the search may start anywhere.
std::optional<std::size_t> HeaderEnd(std::string_view reply) {
    for (std::size_t i = 0; i < reply.size(); ++i) {
        if (reply[i] != LF) {
            continue;
        }
        const std::string_view rest = reply.substr(i + 1);
        if (rest.substr(0, 1) == "\n") {
            return i + 2;
        }
        if (rest.substr(0, 2) == "\r\n") {
            return i + 3;
        }
    }
    return std::nullopt;
}

struct Field {
    std::string_view name;  // as written before the colon
    std::string_view value;
};

// The header's fields: the lines after the status line and before the empty
// line, each without its line end, split at the first colon. Lines without a
// colon are left out.
std::vector<Field> FieldsOf(std::string_view header) {
    std::vector<Field> fields;
    std::size_t start = header.find(LF) + 1;
    while (start < header.size()) {
        const std::size_t lf = header.find(LF, start);
        std::string_view line = header.substr(start, lf - start);
        start = lf + 1;
        if (!line.empty() && line.back() == CR) {
            line.remove_suffix(1);
        }
        const std::size_t colon = line.find(COLON);
        if (colon != std::string_view::npos) {
            fields.push_back(Field{line.substr(0, colon), line.substr(colon + 1)});
        }
    }
    return fields;
}

// The field's name as a lenient reader takes it: blanks between the name and
// the colon do not count. A line that starts with a blank continues the line
// before it and names no field.
bool FieldIs(const Field& field, std::string_view name) {
    return SameIgnoringCase(DropTrailingBlanks(field.name), name);
}

// Whether a field could make the check reject the reply, under any reading of
// its name.
bool MayMatter(const Field& field) {
    const std::string_view name = DropBlanks(field.name);
    return SameIgnoringCase(name, TRANSFER_ENCODING) || SameIgnoringCase(name, CONTENT_ENCODING) ||
           SameIgnoringCase(name, CONTENT_LENGTH);
}

// Whether `value` is a plain decimal number equal to `length`; leading zeros
// are allowed.
bool IsDecimalOf(std::string_view value, std::size_t length) {
    if (value.empty()) {
        return false;
    }
    for (const char c : value) {
        if (!IsDigit(c)) {
            return false;
        }
    }
    while (value.size() > 1 && value.front() == '0') {
        value.remove_prefix(1);
    }
    return value == std::to_string(length);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string reply(reinterpret_cast<const char*>(data), size);
    const ReplyCheck check = CheckReply(reply.data(), reply.size());

    const bool successStatus = IsSuccessStatus(reply);
    const std::optional<std::size_t> headerEnd = HeaderEnd(reply);
    std::vector<Field> fields;
    if (headerEnd) {
        fields = FieldsOf(std::string_view(reply).substr(0, *headerEnd));
    }

    if (check.accepted) {
        RequireProperty(successStatus, "an accepted reply starts with a 200 status line");
        RequireProperty(headerEnd.has_value(), "an accepted reply has an empty line");
        RequireProperty(check.bodyStart == *headerEnd,
                        "the body is the tail after the first empty line");
        const std::size_t bodyLength = reply.size() - check.bodyStart;
        for (const Field& field : fields) {
            RequireProperty(!FieldIs(field, TRANSFER_ENCODING),
                            "an accepted reply has no Transfer-Encoding");
            if (FieldIs(field, CONTENT_ENCODING)) {
                const std::string_view value = DropBlanks(field.value);
                RequireProperty(value.empty() || SameIgnoringCase(value, IDENTITY),
                                "an accepted reply has no Content-Encoding but identity");
            }
            if (FieldIs(field, CONTENT_LENGTH)) {
                RequireProperty(IsDecimalOf(DropBlanks(field.value), bodyLength),
                                "an accepted reply's Content-Length is its body's length");
            }
        }
    }

    // A 200 reply with an empty line and no field that bears on the body is
    // always taken, whatever its reason phrase and other fields say.
    bool plain = successStatus && headerEnd.has_value();
    for (const Field& field : fields) {
        plain = plain && !MayMatter(field);
    }
    if (plain) {
        RequireProperty(check.accepted, "a plain 200 reply is accepted");
        RequireProperty(check.bodyStart == *headerEnd,
                        "the body of a plain 200 reply starts after the first empty line");
    }
    return 0;
}
