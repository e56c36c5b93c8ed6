#pragma once

// Where a codes file is fetched from: the host setting read as a scheme, a
// host and a port; the places a redirect names, resolved against the URL
// they came from (RFC 3986, section 5); and which redirects are followed.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

enum class Scheme { Http, Https };

inline constexpr std::uint16_t HTTP_DEFAULT_PORT = 80;
inline constexpr std::uint16_t HTTPS_DEFAULT_PORT = 443;

struct Url {
    Scheme scheme = Scheme::Http;
    // The host name as written (its letters keep their case).
    std::string host;
    std::uint16_t port = HTTP_DEFAULT_PORT;
    // The request target: a path that starts with "/", then "?" and a query
    // when there is one. Never a fragment.
    std::string target = "/";
};

// Equal when scheme, host (letter case and all), port and target are.
bool operator==(const Url& one, const Url& other);
bool operator!=(const Url& one, const Url& other);

// The host line of config.txt: "host", "host:port", "http://host[:port]" or
// "https://host[:port]", the scheme in any letter case, one "/" after the
// host tolerated. The host holds ASCII letters, digits, "-", "_" and "."
// only, and is not empty; a port is 1 to 65535 in decimal digits. Anything
// else (a path, user info, a query, another scheme, a blank) gives nullopt.
// The target of the result is "/".
std::optional<Url> ParseHostLine(std::string_view line);

// An absolute http or https URL: "scheme://host[:port][/path][?query]
// [#fragment]", the scheme in any letter case, the fragment dropped and the
// dot segments of the path removed; an empty path is "/". Host and port as
// for ParseHostLine. Nullopt for anything else: user info, another scheme,
// a byte that cannot stand in a URL (a control, a blank, 0x7F and above).
std::optional<Url> ParseUrl(std::string_view text);

// `url` written out: "http://" or "https://", the host, ":" and the port
// unless it is the scheme's default, and the target. For every Url that
// ParseUrl gives, ParseUrl(FormatUrl(url)) gives it back.
std::string FormatUrl(const Url& url);

// The Host field for `url`: the host, and ":" and the port when the port is
// not the scheme's default.
std::string HostField(const Url& url);

// A Location field's value resolved against `base` (RFC 3986, section 5.2):
// an absolute URL, a network-path ("//host/..."), an absolute path, a
// relative path, a query alone or an empty reference. Nullopt when it cannot
// be read (as for ParseUrl) or names a scheme other than http or https.
std::optional<Url> ResolveLocation(const Url& base, std::string_view location);

// The most redirects one retrieval follows.
inline constexpr std::size_t MAX_REDIRECTS = 5;

enum class RedirectVerdict {
    Follow,       // fetch `next`
    NotRedirect,  // not 301, 302, 303, 307 or 308, or one without a Location
    BadLocation,  // the Location cannot be read
    Downgrade,    // from https to http
    Loop,         // to a URL this retrieval has already fetched
    TooMany,      // would be hop MAX_REDIRECTS + 1
};

// What follows a reply with `status` and `location` (empty when it had no
// Location field), given the URLs this retrieval has fetched so far, the
// last of which gave the reply: the first URL, and one for each redirect
// followed. On Follow, `next` is the URL to fetch (with GET); otherwise it is
// left as it was. The checks go in this order, the first that holds giving
// the verdict: NotRedirect; BadLocation (also when nothing was fetched, as
// there is no URL to resolve against); Downgrade; Loop (so a loop is named as
// one even when no hop is left); TooMany, when `fetched` holds more than
// MAX_REDIRECTS URLs; else Follow.
RedirectVerdict NextHop(int status, std::string_view location, const std::vector<Url>& fetched,
                        Url& next);
