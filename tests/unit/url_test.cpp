#include "net/url.h"

#include <gtest/gtest.h>

// The URL written out, or "" for none.
const auto Written = [](const std::optional<Url>& url) { return url ? FormatUrl(*url) : ""; };

TEST(Url, HostLineNamesSchemeHostAndPortOnly) {
    // clang-format off
    const struct { const char *line, *url; } rows[] = {
        {"My-Host_1.example", "http://My-Host_1.example/"}, {"HTTPS://h", "https://h/"}, {"hTTp://h:00080/", "http://h/"},
        {"https://h:1", "https://h:1/"}, {"h:65535/", "http://h:65535/"},
        {"h/codes", ""}, {"u@h", ""}, {"h?q", ""}, {"h:0", ""}, {"h:65536", ""}, {"h:", ""}, {"h:8a", ""},
        {"ftp://h", ""}, {"", ""}, {"a b", ""},
    };
    // clang-format on
    for (const auto& row : rows) {
        EXPECT_EQ(Written(ParseHostLine(row.line)), row.url) << row.line;
    }
}

TEST(Url, LocationResolvesAsRfc3986Says) {
    // clang-format off
    const struct { const char *location, *url, *base = "http://a/b/c/d;p?q"; } rows[] = {
        {"g", "http://a/b/c/g"}, {"./g", "http://a/b/c/g"}, {"g/", "http://a/b/c/g/"}, {"/g", "http://a/g"},
        {"//g", "http://g/"}, {"?y", "http://a/b/c/d;p?y"}, {"g?y#s", "http://a/b/c/g?y"}, {"#s", "http://a/b/c/d;p?q"},
        {"", "http://a/b/c/d;p?q"}, {".", "http://a/b/c/"}, {"..", "http://a/b/"}, {"../..", "http://a/"},
        {"../../../g", "http://a/g"}, {"/./g", "http://a/g"}, {"g.", "http://a/b/c/g."},
        {"g;x=1/../y?z/../w", "http://a/b/c/y?z/../w"}, {"http://K:8080/x/./y/../z?", "http://K:8080/x/z?"},
        {"//c:80", "https://c:80/", "https://a:8443/b"}, {"HTTPS://a:443/b#f", "https://a/b", "https://a:8443/b"},
        {"ftp://x", ""}, {"mailto:x", ""}, {"http://u@h/", ""}, {"http://h:0/", ""}, {"g h", ""}, {"/g\r\n", ""},
    };
    // clang-format on
    for (const auto& row : rows) {
        EXPECT_EQ(Written(ResolveLocation(*ParseUrl(row.base), row.location)), row.url)
            << row.base << " + " << row.location;
    }
}

TEST(Url, RedirectPolicyDecidesEachHop) {
    using V = RedirectVerdict;
    // The URLs fetched are `from` + "0", + "1" and so on; "" for `next`: left as it was.
    // clang-format off
    const struct { int status; const char *location; V verdict; const char *next;
                   std::size_t fetched = 1; const char *from = "http://h/"; } rows[] = {
        {301, "/a", V::Follow, "http://h/a"}, {302, "b", V::Follow, "http://h/b"}, {303, "//k:81", V::Follow, "http://k:81/"},
        {307, "https://k/", V::Follow, "https://k/"}, {308, "x", V::Follow, "https://h/x", 1, "https://h/"},
        {200, "/a", V::NotRedirect, ""}, {404, "/a", V::NotRedirect, ""}, {300, "/a", V::NotRedirect, ""},
        {304, "/a", V::NotRedirect, ""}, {302, "", V::NotRedirect, ""},
        {302, "http://h/x", V::Downgrade, "", 1, "https://h/"}, {302, "1", V::Loop, "", 3},
        {302, "/x", V::Follow, "http://h/x", 5}, {302, "/x", V::TooMany, "", 6}, {302, "ftp://h/", V::BadLocation, ""},
    };
    // clang-format on
    const std::string kept = "http://kept/";
    for (const auto& row : rows) {
        std::vector<Url> fetched;
        for (std::size_t hop = 0; hop < row.fetched; ++hop) {
            fetched.push_back(*ParseUrl(row.from + std::to_string(hop)));
        }
        Url next = *ParseUrl(kept);
        EXPECT_EQ(NextHop(row.status, row.location, fetched, next), row.verdict) << row.location;
        EXPECT_EQ(FormatUrl(next), *row.next ? row.next : kept) << row.location;
    }
}
