#pragma once

// The one request the program sends: an HTTP/1.0 GET of the codes file,
// without header fields.

#include <string>
#include <string_view>

// The request target for a configured path: a "/" is put in front when the
// path does not start with one, and every byte that cannot stand in a request
// target (controls, blank, bytes 0x7F and above, and " < > \ ^ ` { | }) is
// written as %XX. All other bytes, "%" among them, are kept as they are.
std::string EncodeRequestTarget(std::string_view path);

// "GET " + the request target + " HTTP/1.0" CR LF CR LF.
std::string BuildHttpRequest(std::string_view path);
