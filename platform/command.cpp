#include "platform/command.h"

#include <cstdlib>

#ifdef _WIN32
#include <windows.h>

#include "platform/code_page.h"
#include "platform/system.h"
#else
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

#ifdef _WIN32

namespace {

// The process's exit status once it has ended, -1 when it cannot be told.
int WaitForExit(HANDLE process) {
    DWORD status = 0;
    const bool ended = WaitForSingleObject(process, INFINITE) == WAIT_OBJECT_0 &&
                       GetExitCodeProcess(process, &status) != 0;
    return ended ? static_cast<int>(status) : -1;
}

}  // namespace

int RunBatchFile(const std::string& path) {
    // The system's own interpreter by its full path, with the AutoRun
    // commands off (/d): an AutoRun such as "chcp 65001" would make it read
    // the batch file in another code page than the one it was written in.
    const std::wstring interpreter = InSystemFolder(L"cmd.exe");
    if (interpreter.empty()) {
        return -1;
    }
    // The interpreter takes the outer pair of quotes off the command; the
    // inner pair stays around the path. It would take a "%" for the start of
    // a variable, however the path is quoted, so a path with one is named
    // from its own folder instead.
    const std::size_t nameStart = path.find_last_of("\\/") + 1;
    const bool percent = path.find('%') != std::string::npos;
    const std::wstring file = WideFromText(percent ? ".\\" + path.substr(nameStart) : path);
    const std::wstring folder = WideFromText(path.substr(0, nameStart));
    std::wstring commandLine = L"cmd.exe /d /c \"\"" + file + L"\"\"";
    STARTUPINFOW startup{};
    startup.cb = sizeof startup;
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(interpreter.c_str(), commandLine.data(), nullptr, nullptr, FALSE, 0,
                        nullptr, percent ? folder.c_str() : nullptr, &startup, &process)) {
        return -1;
    }
    const KernelHandle thread(process.hThread), owned(process.hProcess);
    return WaitForExit(owned.get());
}

#else

int RunBatchFile(const std::string& path) {
    return RunCommand("\"" + path + "\"");
}

#endif

}  // namespace platform
