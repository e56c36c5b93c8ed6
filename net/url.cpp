#include "net/url.h"

#include "net/ascii.h"
#include "net/http_request.h"

#include <algorithm>

namespace {

constexpr std::string_view HTTP_PREFIX = "http://";
constexpr std::string_view HTTPS_PREFIX = "https://";

// A port is 1 to 65535, in at most five decimal digits.
constexpr std::size_t MAX_PORT_DIGITS = 5;
constexpr std::size_t MIN_PORT = 1;
constexpr std::size_t MAX_PORT = 65535;

constexpr int MOVED_PERMANENTLY = 301;
constexpr int FOUND = 302;
constexpr int SEE_OTHER = 303;
constexpr int TEMPORARY_REDIRECT = 307;
constexpr int PERMANENT_REDIRECT = 308;

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
        if (ascii::StartsWithIgnoringCase(text, prefix)) {
            text.remove_prefix(prefix.size());
            return scheme;
        }
    }
    return std::nullopt;
}

std::optional<std::uint16_t> ParsePort(std::string_view digits) {
    const std::optional<std::size_t> port = ascii::ParseDecimal(digits);
    if (digits.size() > MAX_PORT_DIGITS || !port || *port < MIN_PORT || *port > MAX_PORT) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(*port);
}

// "host" or "host:port" for `scheme`, with the target "/". User info
// ("user@host") is refused with the rest, as "@" is no host byte.
std::optional<Url> ParseAuthority(Scheme scheme, std::string_view authority) {
    const std::size_t colon = authority.find(':');
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
    text = text.substr(0, text.find('#'));
    const std::size_t mark = text.find('?');
    if (mark == std::string_view::npos) {
        return {text, std::nullopt};
    }
    return {text.substr(0, mark), text.substr(mark + 1)};
}

// RFC 3986, section 5.2.4, for a path that is empty or starts with "/": its
// segments go on a stack, but a "." segment, and a ".." segment, which takes
// the segment before it off. A path that ends in either ends in "/".
std::string RemoveDotSegments(std::string_view path) {
    std::vector<std::string_view> kept;
    bool endsInSlash = false;
    for (std::size_t at = 1; at <= path.size();) {
        const std::size_t end = std::min(path.find('/', at), path.size());
        const std::string_view segment = path.substr(at, end - at);
        endsInSlash = segment == "." || segment == "..";
        if (segment == ".." && !kept.empty()) {
            kept.pop_back();
        } else if (!endsInSlash) {
            kept.push_back(segment);
        }
        at = end + 1;
    }
    std::string output;
    for (const std::string_view segment : kept) {
        output.append("/").append(segment);
    }
    return endsInSlash ? output + "/" : output;
}

// RFC 3986, section 5.2.3, for a base that has an authority: the reference
// replaces the base path's last segment; an empty base path is "/".
std::string MergePaths(std::string_view basePath, std::string_view referencePath) {
    const std::size_t slash = basePath.rfind('/');
    const std::string_view kept =
        slash == std::string_view::npos ? "/" : basePath.substr(0, slash + 1);
    return std::string(kept) + std::string(referencePath);
}

std::string JoinTarget(std::string path, std::optional<std::string_view> query) {
    if (path.empty()) {
        path = "/";
    }
    if (query) {
        path.append("?").append(*query);
    }
    return path;
}

// True when `reference` starts with a scheme: a name, then ":" before any
// "/", "?" or "#".
bool HasScheme(std::string_view reference) {
    const std::size_t end = reference.find_first_of(":/?#");
    return end != std::string_view::npos && end > 0 && reference[end] == ':';
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
    if (!line.empty() && line.back() == '/') {
        line.remove_suffix(1);
    }
    return ParseAuthority(scheme, line);
}

std::optional<Url> ParseUrl(std::string_view text) {
    if (!std::all_of(text.begin(), text.end(), ascii::IsUrlByte)) {
        return std::nullopt;
    }
    const std::optional<Scheme> scheme = TakeScheme(text);
    if (!scheme) {
        return std::nullopt;
    }
    const std::size_t end = std::min(text.find_first_of("/?#"), text.size());
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
    return url.host + ":" + std::to_string(url.port);
}

std::optional<Url> ResolveLocation(const Url& base, std::string_view location) {
    if (!std::all_of(location.begin(), location.end(), ascii::IsUrlByte)) {
        return std::nullopt;
    }
    if (HasScheme(location)) {
        return ParseUrl(location);
    }
    if (location.starts_with("//")) {
        // The reference's authority and path, under the base's scheme.
        return ParseUrl(std::string(SchemePrefix(base.scheme)) + std::string(location.substr(2)));
    }
    const PathAndQuery reference = SplitPathAndQuery(location);
    const PathAndQuery own = SplitPathAndQuery(base.target);
    Url url = base;
    if (reference.path.empty()) {
        url.target =
            JoinTarget(std::string(own.path), reference.query ? reference.query : own.query);
    } else if (reference.path.starts_with("/")) {
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
