#pragma once

// Host lookup for the fetch client, within the fetch's time limit.

#include "net/socket_api.h"

#include <chrono>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A name lookup: every IPv4 address of `hostName`, in the order the name
// service gives them; none when the name is not known.
using NameLookup = std::function<std::vector<in_addr>(const std::string& hostName)>;

// The system's lookup (getaddrinfo), which takes `hostName` as it stands.
std::vector<in_addr> LookUpName(const std::string& hostName);

enum class ResolveResult { Found, Unknown, TimeLimit };

// Looks `hostName` up with `lookUp` and gives each of its addresses with
// `port`, in order; an empty name, and an IPv4 address in dotted decimal,
// are not looked up. The lookup cannot be cut short, so it runs on a thread
// of its own: should it still run at `end`, the result is TimeLimit, and the
// thread is left to end by itself.
ResolveResult ResolveHost(const std::string& hostName, std::uint16_t port,
                          std::chrono::steady_clock::time_point end,
                          std::vector<sockaddr_in>& addresses,
                          const NameLookup& lookUp = LookUpName);
