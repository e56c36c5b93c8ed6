#include "platform/command.h"

#include <cstdlib>

#ifndef _WIN32
#include <sys/wait.h>
#endif

namespace platform {

int RunCommand(const std::string& command) {
    const int result = std::system(command.c_str());
#ifdef _WIN32
    // The command interpreter's own exit status.
    return result;
#else
    // A wait status, of which the exit status is one part.
    return result != -1 && WIFEXITED(result) ? WEXITSTATUS(result) : -1;
#endif
}

}  // namespace platform
