// Fuzz target for the request sent for a configured host and codes path (the
// input up to its first NUL byte is the host, the rest the path): whatever the
// path holds, the request is one request line that a server splits into three
// parts and the Host field, its target, percent-decoded, names the path that
// was configured, and for a host that may be looked up no byte of either adds
// a line.

#include "fuzz/fuzz_property.h"
#include "net/http_request.h"

#include <cstring>

// As a server decodes a target: "%" and two hex digits stand for one byte, any
// other "%" for itself.
static std::string PercentDecoded(const std::string& text) {
    std::string decoded;
    for (std::size_t i = 0, escaped = 0; i < text.size(); i += escaped ? 3 : 1) {
        const std::string hex = text[i] == '%' ? text.substr(i + 1, 2) : "";
        escaped = std::strspn(hex.c_str(), "0123456789ABCDEFabcdef") == 2;
        decoded += escaped ? static_cast<char>(std::stoi(hex, nullptr, 16)) : text[i];
    }
    return decoded;
}

void FuzzOne(const std::string& input) {
    const std::string host = input.substr(0, input.find('\0'));
    const std::string path = host.size() < input.size() ? input.substr(host.size() + 1) : "";
    if (!IsValidHostName(host)) {
        return;
    }
    const std::string request = BuildHttpRequest(path, host), target = EncodeRequestTarget(path);
    const std::string end = " HTTP/1.0\r\nHost: " + host + "\r\n\r\n";
    RequireProperty(target[0] == '/' && request == "GET " + target + end,
                    "the request is GET, the target from \"/\", HTTP/1.0, Host, an empty line");
    // So its only CR and LF bytes are those of its line ends unless the target
    // or the host hold one.
    RequireProperty((target + host).find_first_of("\r\n") == std::string::npos,
                    "the request holds no CR or LF but its line ends");
    RequireProperty(target.find(' ') == std::string::npos, "the target holds no blank");
    RequireProperty(PercentDecoded(target) == PercentDecoded(path[0] == '/' ? path : "/" + path),
                    "the decoded target is the configured path");
}
