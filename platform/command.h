#pragma once

// Running a command line through the system's command interpreter.

#include <string>

namespace platform {

// Runs `command` through the command interpreter, waits for it to end and
// returns its exit status (what the last program it ran ended with); -1 when
// it could not be run or did not end normally.
int RunCommand(const std::string& command);

// Runs the batch file at the full path `path` (UTF-8) through the command
// interpreter, waits for it to end and returns its exit status as
// RunCommand does. On Windows it is the system folder's cmd.exe, with its
// AutoRun commands off, given the path in quotes, so that blanks, "&", "("
// and the like in it are taken as they stand, and a program started from a
// network folder (which the interpreter refuses as its current folder) runs
// it too. A path with a "%" in it, which the interpreter would take for the
// start of a variable on its command line, is run as ".\name" in its own
// folder instead.
int RunBatchFile(const std::string& path);

}  // namespace platform
