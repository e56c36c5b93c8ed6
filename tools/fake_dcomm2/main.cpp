// A stand-in for the handheld's file-transfer utility, for the end-to-end
// tests. It records the command line it was started with, takes the file it
// was asked to load, and "loads the handheld" by copying that file, byte for
// byte, into a folder named handheld beside its own executable.
//
//   dcomm2.exe /b=57600 "C:\Tools\temp\CODES.DAT"
//
// leaves handheld\dcomm2-command-line.txt (the command line exactly as the
// system passed it), one more line in handheld\runs.txt (one per start) and
// handheld\CODES.DAT (a copy of the named file). A file exit-status.txt
// beside the executable makes it fail instead: it loads nothing and ends with
// the number that file holds. A file hold.txt beside it, holding the name N
// of an event, makes it last until told: it sets the event "N started", then
// waits for the event N, for 30 seconds at most.

#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/text_file.h"

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

constexpr int EXIT_OK = 0;
constexpr int EXIT_CANNOT_RECORD = 1;
constexpr int EXIT_NO_FILE_NAMED = 2;
constexpr int EXIT_FILE_UNREADABLE = 3;
constexpr int EXIT_NOT_LOADED = 4;

constexpr char HANDHELD_FOLDER[] = "handheld";
constexpr char COMMAND_LINE_FILE[] = "dcomm2-command-line.txt";
constexpr char RUNS_FILE[] = "runs.txt";
constexpr char EXIT_STATUS_FILE[] = "exit-status.txt";
constexpr char HOLD_FILE[] = "hold.txt";
constexpr DWORD HOLD_LIMIT_MS = 30000;
constexpr char SWITCH_MARK = '/';
constexpr char SEPARATORS[] = "\\/";

// The folder of this executable, with its trailing separator.
std::string OwnFolder() {
    std::string path;
    if (!platform::GetExecutablePath(path)) {
        return {};
    }
    return path.substr(0, path.find_last_of(SEPARATORS) + 1);
}

std::string FileNameOf(const std::string& path) {
    const std::size_t lastSeparator = path.find_last_of(SEPARATORS);
    return lastSeparator == std::string::npos ? path : path.substr(lastSeparator + 1);
}

}  // namespace

int main(int argc, char* argv[]) {
    const std::string handheld = OwnFolder() + HANDHELD_FOLDER;
    if (!platform::CreateFolderIfMissing(handheld)) {
        std::printf("dcomm2: cannot create %s\n", handheld.c_str());
        return EXIT_CANNOT_RECORD;
    }
    // Recorded first, so that even a start that fails below leaves a trace.
    const std::string commandLinePath = handheld + "\\" + COMMAND_LINE_FILE;
    if (!platform::ReplaceFileSafely(commandLinePath, GetCommandLineA())) {
        std::printf("dcomm2: cannot write %s\n", commandLinePath.c_str());
        return EXIT_CANNOT_RECORD;
    }
    std::string runs;
    platform::ReadBinaryFile(handheld + "\\" + RUNS_FILE, runs);
    if (!platform::ReplaceFileSafely(handheld + "\\" + RUNS_FILE, runs + "run\r\n")) {
        return EXIT_CANNOT_RECORD;
    }
    std::string hold;
    if (platform::ReadBinaryFile(OwnFolder() + HOLD_FILE, hold)) {
        const HANDLE started = OpenEventA(EVENT_MODIFY_STATE, FALSE, (hold + " started").c_str());
        const HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, hold.c_str());
        SetEvent(started);
        WaitForSingleObject(release, HOLD_LIMIT_MS);
        CloseHandle(release);
        CloseHandle(started);
    }
    std::string exitStatus;
    if (platform::ReadBinaryFile(OwnFolder() + EXIT_STATUS_FILE, exitStatus)) {
        return std::atoi(exitStatus.c_str());
    }

    // Arguments as the runtime split them, in the ANSI code page, as an 8-bit
    // program gets them: quotes are removed around a path.
    std::string switches;
    std::string file;
    for (int i = 1; i < argc; ++i) {
        const std::string argument = argv[i];
        if (!argument.empty() && argument[0] == SWITCH_MARK) {
            switches += switches.empty() ? argument : " " + argument;
        } else if (file.empty()) {
            file = argument;
        }
    }
    std::printf("switch: %s\n", switches.empty() ? "(none)" : switches.c_str());
    if (file.empty()) {
        std::printf("dcomm2: no file to load\n");
        return EXIT_NO_FILE_NAMED;
    }
    std::printf("file: %s\n", file.c_str());

    std::string bytes;
    if (!platform::ReadBinaryFile(platform::TextFromAnsi(file), bytes)) {
        std::printf("dcomm2: cannot read %s\n", file.c_str());
        return EXIT_FILE_UNREADABLE;
    }
    const std::string loaded = handheld + "\\" + FileNameOf(file);
    if (!platform::ReplaceFileSafely(loaded, bytes)) {
        std::printf("dcomm2: cannot write %s\n", loaded.c_str());
        return EXIT_NOT_LOADED;
    }
    std::printf("bytes: %zu\nloaded: %s\n", bytes.size(), loaded.c_str());
    return EXIT_OK;
}
