#pragma once

// The one request the program sends: an HTTP/1.0 GET of the codes file that
// names the host, so that a server holding several sites answers from the
// right one.

#include <string>
#include <string_view>

// The request target for a configured path: a "/" is put in front when the
// path does not start with one, and every byte that cannot stand in a request
// target (controls, blank, bytes 0x7F and above, and " < > \ ^ ` { | }) is
// written as %XX. All other bytes, "%" among them, are kept as they are.
std::string EncodeRequestTarget(std::string_view path);

// True when `host` holds only ASCII letters, digits, "-", "_", "." and ":":
// a host that may be looked up and written into a request.
bool IsValidHostName(std::string_view host);

// "GET " + the request target + " HTTP/1.0" CR LF "Host: " + host CR LF CR LF.
// `host` is the Host field as it is to be sent (with its port when that is
// not the scheme's default).
std::string BuildHttpRequest(std::string_view path, std::string_view host);
