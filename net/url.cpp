#include "net/url.h"

#include "net/http_request.h"

#include <algorithm>

namespace {

constexpr std::string_view HTTP_PREFIX = "http://";
constexpr std::string_view HTTPS_PREFIX = "https://";
// What a reference's scheme ends with, and what starts a network-path reference.
constexpr char SCHEME_END = ':';
constexpr std::string_view NETWORK_PATH_START = "//";
constexpr char SEGMENT_MARK = '/';
constexpr char PORT_MARK = ':';
constexpr char QUERY_MARK = '?';
constexpr char FRAGMENT_MARK = '#';
constexpr std::string_view AUTHORITY_END = "/?#";
constexpr std::string_view SCHEME_OR_PATH_END = ":/?#";

// A port is 1 to 65535, in at most five decimal digits.
constexpr std::size_t MAX_PORT_DIGITS = 5;
constexpr unsigned MIN_PORT = 1;
constexpr unsigned MAX_PORT = 65535;
constexpr unsigned DECIMAL_BASE = 10;

// Bytes up to and including the blank, and DEL upwards, never stand in a URL.
constexpr unsigned char LAST_CONTROL_OR_BLANK = 0x20;
constexpr unsigned char FIRST_DELETE_OR_HIGH = 0x7F;

constexpr int MOVED_PERMANENTLY = 301;
constexpr int FOUND = 302;
constexpr int SEE_OTHER = 303;
constexpr int TEMPORARY_REDIRECT = 307;
constexpr int PERMANENT_REDIRECT = 308;

// The dot segments as remove_dot_segments (RFC 3986, 5.2.4) meets them at the
// start of its input.
constexpr std::string_view DOT_DOT_PREFIX = "../";
constexpr std::string_view DOT_PREFIX = "./";
constexpr std::string_view SLASH_DOT_PREFIX = "/./";
constexpr std::string_view SLASH_DOT = "/.";
constexpr std::string_view SLASH_DOT_DOT_PREFIX = "/../";
constexpr std::string_view SLASH_DOT_DOT = "/..";
constexpr std::string_view DOT = ".";
constexpr std::string_view DOT_DOT = "..";
constexpr std::string_view ROOT = "/";

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

bool IsUrlByte(char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte > LAST_CONTROL_OR_BLANK && byte < FIRST_DELETE_OR_HIGH;
}

char LowerAscii(char c) {
    return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool StartsWith(std::string_view text, std::string_view prefix) {
    return text.substr(0, prefix.size()) == prefix;
}

bool StartsWithIgnoringCase(std::string_view text, std::string_view lowerPrefix) {
    return text.size() >= lowerPrefix.size() &&
           std::equal(lowerPrefix.begin(), lowerPrefix.end(), text.begin(),
                      [](char wanted, char c) { return LowerAscii(c) == wanted; });
}

std::string_view SchemePrefix(Scheme scheme) {
    return scheme == Scheme::Https ? HTTPS_PREFIX : HTTP_PREFIX;
}

std::uint16_t DefaultPort(Scheme scheme) {
    return scheme == Scheme::Https ? HTTPS_DEFAULT_PORT : HTTP_DEFAULT_PORT;
}

// "http://" or "https://" at the start of `text`, in any letter case, taken
// off it.
std::optional<Scheme> TakeScheme(std::string_view& text) {
    for (const Scheme scheme : {Scheme::Http, Scheme::Https}) {
        const std::string_view prefix = SchemePrefix(scheme);
        if (StartsWithIgnoringCase(text, prefix)) {
            text.remove_prefix(prefix.size());
            return scheme;
        }
    }
    return std::nullopt;
}

std::optional<std::uint16_t> ParsePort(std::string_view digits) {
    if (digits.empty() || digits.size() > MAX_PORT_DIGITS) {
        return std::nullopt;
    }
    unsigned value = 0;
    for (const char c : digits) {
        if (!IsDigit(c)) {
            return std::nullopt;
        }
        value = value * DECIMAL_BASE + static_cast<unsigned>(c - '0');
    }
    if (value < MIN_PORT || value > MAX_PORT) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

// "host" or "host:port" for `scheme`, with the target "/". User info
// ("user@host") is refused with the rest, as "@" is no host byte.
std::optional<Url> ParseAuthority(Scheme scheme, std::string_view authority) {
    const std::size_t colon = authority.find(PORT_MARK);
    const std::string_view host = authority.substr(0, colon);
    if (host.empty() || !IsValidHostName(host)) {
        return std::nullopt;
    }
    Url url;
    url.scheme = scheme;
    url.host = std::string(host);
    url.port = DefaultPort(scheme);
    if (colon != std::string_view::npos) {
        const std::optional<std::uint16_t> port = ParsePort(authority.substr(colon + 1));
        if (!port) {
            return std::nullopt;
        }
        url.port = *port;
    }
    return url;
}

// A reference's path and query, its fragment dropped; the query is missing
// when no "?" was written.
struct PathAndQuery {
    std::string_view path;
    std::optional<std::string_view> query;
};

PathAndQuery SplitPathAndQuery(std::string_view text) {
    text = text.substr(0, text.find(FRAGMENT_MARK));
    const std::size_t mark = text.find(QUERY_MARK);
    if (mark == std::string_view::npos) {
        return {text, std::nullopt};
    }
    return {text.substr(0, mark), text.substr(mark + 1)};
}

// The output's last segment and the "/" before it go.
void DropLastSegment(std::string& output) {
    const std::size_t slash = output.rfind(SEGMENT_MARK);
    output.erase(slash == std::string::npos ? 0 : slash);
}

// Moves the input's first segment, with the "/" before it if there is one, to
// the output: up to the next "/" after the first byte.
void MoveFirstSegment(std::string_view& input, std::string& output) {
    const std::size_t end = std::min(input.find(SEGMENT_MARK, ROOT.size()), input.size());
    output += input.substr(0, end);
    input.remove_prefix(end);
}

// RFC 3986, section 5.2.4: the "." and ".." segments are taken out of a path,
// each ".." with the segment before it. Each step below is one of its rules.
std::string RemoveDotSegments(std::string_view input) {
    std::string output;
    while (!input.empty()) {
        if (StartsWith(input, DOT_DOT_PREFIX)) {
            input.remove_prefix(DOT_DOT_PREFIX.size());
        } else if (StartsWith(input, DOT_PREFIX)) {
            input.remove_prefix(DOT_PREFIX.size());
        } else if (StartsWith(input, SLASH_DOT_PREFIX)) {
            input.remove_prefix(SLASH_DOT_PREFIX.size() - ROOT.size());
        } else if (input == SLASH_DOT) {
            input = ROOT;
        } else if (StartsWith(input, SLASH_DOT_DOT_PREFIX)) {
            input.remove_prefix(SLASH_DOT_DOT_PREFIX.size() - ROOT.size());
            DropLastSegment(output);
        } else if (input == SLASH_DOT_DOT) {
            input = ROOT;
            DropLastSegment(output);
        } else if (input == DOT || input == DOT_DOT) {
            input = {};
        } else {
            MoveFirstSegment(input, output);
        }
    }
    return output;
}

// RFC 3986, section 5.2.3, for a base that has an authority: the reference
// replaces the base path's last segment; an empty base path is "/".
std::string MergePaths(std::string_view basePath, std::string_view referencePath) {
    const std::size_t slash = basePath.rfind(SEGMENT_MARK);
    const std::string_view kept =
        slash == std::string_view::npos ? ROOT : basePath.substr(0, slash + 1);
    return std::string(kept) + std::string(referencePath);
}

std::string JoinTarget(std::string path, std::optional<std::string_view> query) {
    if (path.empty()) {
        path = ROOT;
    }
    if (query) {
        path += QUERY_MARK;
        path += *query;
    }
    return path;
}

// True when `reference` starts with a scheme: a name, then ":" before any
// "/", "?" or "#".
bool HasScheme(std::string_view reference) {
    const std::size_t end = reference.find_first_of(SCHEME_OR_PATH_END);
    return end != std::string_view::npos && end > 0 && reference[end] == SCHEME_END;
}

bool IsRedirectStatus(int status) {
    return status == MOVED_PERMANENTLY || status == FOUND || status == SEE_OTHER ||
           status == TEMPORARY_REDIRECT || status == PERMANENT_REDIRECT;
}

}  // namespace

bool operator==(const Url& one, const Url& other) {
    return one.scheme == other.scheme && one.host == other.host && one.port == other.port &&
           one.target == other.target;
}

bool operator!=(const Url& one, const Url& other) {
    return !(one == other);
}

std::optional<Url> ParseHostLine(std::string_view line) {
    const Scheme scheme = TakeScheme(line).value_or(Scheme::Http);
    if (!line.empty() && line.back() == SEGMENT_MARK) {
        line.remove_suffix(ROOT.size());
    }
    return ParseAuthority(scheme, line);
}

std::optional<Url> ParseUrl(std::string_view text) {
    if (!std::all_of(text.begin(), text.end(), IsUrlByte)) {
        return std::nullopt;
    }
    const std::optional<Scheme> scheme = TakeScheme(text);
    if (!scheme) {
        return std::nullopt;
    }
    const std::size_t end = std::min(text.find_first_of(AUTHORITY_END), text.size());
    std::optional<Url> url = ParseAuthority(*scheme, text.substr(0, end));
    if (url) {
        const PathAndQuery rest = SplitPathAndQuery(text.substr(end));
        url->target = JoinTarget(RemoveDotSegments(rest.path), rest.query);
    }
    return url;
}

std::string FormatUrl(const Url& url) {
    return std::string(SchemePrefix(url.scheme)) + HostField(url) + url.target;
}

std::string HostField(const Url& url) {
    if (url.port == DefaultPort(url.scheme)) {
        return url.host;
    }
    return url.host + PORT_MARK + std::to_string(url.port);
}

std::optional<Url> ResolveLocation(const Url& base, std::string_view location) {
    if (!std::all_of(location.begin(), location.end(), IsUrlByte)) {
        return std::nullopt;
    }
    if (HasScheme(location)) {
        return ParseUrl(location);
    }
    if (StartsWith(location, NETWORK_PATH_START)) {
        // The reference's authority and path, under the base's scheme.
        const std::string_view rest = location.substr(NETWORK_PATH_START.size());
        return ParseUrl(std::string(SchemePrefix(base.scheme)) + std::string(rest));
    }
    const PathAndQuery reference = SplitPathAndQuery(location);
    const PathAndQuery own = SplitPathAndQuery(base.target);
    Url url = base;
    if (reference.path.empty()) {
        url.target =
            JoinTarget(std::string(own.path), reference.query ? reference.query : own.query);
    } else if (StartsWith(reference.path, ROOT)) {
        url.target = JoinTarget(RemoveDotSegments(reference.path), reference.query);
    } else {
        url.target =
            JoinTarget(RemoveDotSegments(MergePaths(own.path, reference.path)), reference.query);
    }
    return url;
}

RedirectVerdict NextHop(int status, std::string_view location, const std::vector<Url>& fetched,
                        Url& next) {
    if (!IsRedirectStatus(status) || location.empty()) {
        return RedirectVerdict::NotRedirect;
    }
    const std::optional<Url> target =
        fetched.empty() ? std::nullopt : ResolveLocation(fetched.back(), location);
    if (!target) {
        return RedirectVerdict::BadLocation;
    }
    if (fetched.back().scheme == Scheme::Https && target->scheme == Scheme::Http) {
        return RedirectVerdict::Downgrade;
    }
    if (std::find(fetched.begin(), fetched.end(), *target) != fetched.end()) {
        return RedirectVerdict::Loop;
    }
    if (fetched.size() > MAX_REDIRECTS) {
        return RedirectVerdict::TooMany;
    }
    next = *target;
    return RedirectVerdict::Follow;
}
