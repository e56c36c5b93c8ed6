#pragma once

// The system's socket library, started once for the whole process.

namespace platform {

// Starts the socket library the first time it is called (Windows Sockets
// 2.2 on Windows, released when the process ends); true once it has
// started. Elsewhere there is nothing to start.
bool StartSocketLibrary();

}  // namespace platform
