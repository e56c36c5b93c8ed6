#pragma once

// Why one exchange with a web server failed, in the terms a user can act on.

enum class FetchFailure {
    None,
    UnknownHost,     // the host name could not be looked up
    NoAnswer,        // the connection was refused, or not answered in time
    TimedOut,        // the server went silent for the whole time-out
    TimeLimit,       // the whole fetch took longer than its limit
    ConnectionLost,  // sending or receiving failed, or the reply ended early
    TooLarge,        // the reply is larger than the program takes
    CertUntrusted,   // the server's certificate is not from a trusted root
    CertWrongName,   // the server's certificate is for another name
    CertExpired,     // the server's certificate has expired (or is not valid yet)
    SecureFailed,    // the secure connection failed for another reason
};
