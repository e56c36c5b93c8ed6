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

int RunBatchFile(const std::string& path) {
    constexpr char PERCENT = '%';
    if (path.find(PERCENT) != std::string::npos) {
        return RunCommand(path.substr(path.find_last_of("\\/") + 1));
    }
#ifdef _WIN32
    // The interpreter takes the outer pair of quotes off a command line
    // that starts with one; the inner pair stays around the path.
    return RunCommand("\"\"" + path + "\"\"");
#else
    return RunCommand("\"" + path + "\"");
#endif
}

}  // namespace platform
