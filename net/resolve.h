#pragma once

// Host lookup for the fetch client.

#include "net/socket_api.h"

#include <cstdint>
#include <string>

// Looks `hostName` up as it stands (nothing is split off it) and fills
// `address` with its first IPv4 address and `port`. An empty name is not
// looked up. False when the name could not be resolved; `address` is then all
// zero.
bool ResolveHost(const std::string& hostName, std::uint16_t port, sockaddr_in& address);
