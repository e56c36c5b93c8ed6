#pragma once

// Running a command line through the system's command interpreter.

#include <string>

namespace platform {

// Runs `command` through the command interpreter, waits for it to end and
// returns its exit status (what the last program it ran ended with); -1 when
// it could not be run or did not end normally.
int RunCommand(const std::string& command);

}  // namespace platform
