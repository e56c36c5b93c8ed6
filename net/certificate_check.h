#pragma once

// Why a server's certificate is refused, told apart where WinHTTP does not
// say (Wine reports every refused certificate as a failed secure channel,
// with no status flags and no certificate to look at afterwards): a TLS
// handshake of its own through the system's secure channel that only takes
// the server's certificate, sends no request and ignores nothing, then the
// system's check of that certificate's chain for `host` as a TLS server.
// Windows only; internal to the net library.

#include <chrono>
#include <cstdint>
#include <string>

#include "net/fetch_failure.h"

// CertUntrusted, CertExpired or CertWrongName; SecureFailed when the
// certificate cannot be had by `end` or the check finds nothing of these.
FetchFailure CheckServerCertificate(const std::string& host, std::uint16_t port,
                                    std::chrono::steady_clock::time_point end);
