// Fuzz target for the URLs the program reads (the input up to its first NUL
// byte is a host line, the rest a Location; without a NUL the whole input is
// both): whatever the bytes, reading ends without a fault; a host line read
// names a host of the allowed bytes and a port; every URL read or resolved is
// written out and read back the same; and a resolved path keeps no dot segment.

#include "fuzz/fuzz_property.h"
#include "net/url.h"

#include <cstring>

static const char HOST_BYTES[] =
    "-_.0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz";

static void RequireRoundTrip(const std::optional<Url>& url) {
    RequireProperty(!url || ParseUrl(FormatUrl(*url)) == url, "a URL written reads back the same");
}

static void RequireResolved(const std::optional<Url>& url) {
    RequireRoundTrip(url);
    // A "/" after the path, so that a dot segment at its end is found too.
    const std::string path = url ? url->target.substr(0, url->target.find('?')) + "/" : "/";
    RequireProperty(path[0] == '/' && path.find("/./") == std::string::npos &&
                        path.find("/../") == std::string::npos,
                    "a resolved target starts with \"/\" and its path has no dot segment");
}

void FuzzOne(const std::string& input) {
    static const Url base = *ParseUrl("http://a/b/c/d;p?q");
    const std::size_t nul = input.find('\0');
    const std::string location = nul == std::string::npos ? input : input.substr(nul + 1);
    const std::optional<Url> host = ParseHostLine(input.substr(0, nul));
    if (host) {
        RequireProperty(!host->host.empty() && host->port >= 1 &&
                            std::strspn(host->host.c_str(), HOST_BYTES) == host->host.size(),
                        "a host line read names a host of the allowed bytes and a port");
        RequireResolved(ResolveLocation(*host, location));
    }
    RequireRoundTrip(host);
    RequireRoundTrip(ParseUrl(location));
    RequireResolved(ResolveLocation(base, location));
}
