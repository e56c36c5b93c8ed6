// The UI driver's calls for the scripts, on the first visible window CAPTION:
//   uidriver wait CAPTION ID PREFIX TIMEOUT_MS  once control ID's text starts
//       with PREFIX: prints when it began looking and when it saw the text
//       (Unix time, microseconds)
//   uidriver text CAPTION ID        prints the text of control ID
//   uidriver click CAPTION ID       clicks button ID, returns once handled
//   uidriver menu|syscommand CAPTION ID   posts the (system) menu command ID
// Exit status 1 when the window or text did not come, 2 for a wrong command.

#include <fcntl.h>
#include <io.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/uidriver/driver.h"

int main(int argc, char** argv) {
    using namespace uidriver;
    // Texts are printed byte for byte: no CR is added before an LF.
    _setmode(_fileno(stdout), _O_BINARY);
    const std::string command = argc > 1 ? argv[1] : "";
    const bool waits = command == "wait" && argc == 6;
    if (!waits && (argc != 4 || (command != "text" && command != "click" && command != "menu" &&
                                 command != "syscommand"))) {
        std::fputs("usage: uidriver wait|text|click|menu|syscommand CAPTION ID ...\n", stderr);
        return 2;
    }
    // Wall-clock time, for a script to set beside the time it started a program.
    const auto unixMicroseconds = [] {
        using namespace std::chrono;
        return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    };
    const long long began = unixMicroseconds();
    const int id = static_cast<int>(std::strtol(argv[3], nullptr, 0));
    HWND window = waits ? WaitForWindow(argv[2], 0, std::strtoul(argv[5], nullptr, 0), id, argv[4])
                        : WaitForWindow(argv[2], 0, kDefaultTimeoutMs);
    if (window == nullptr) {
        std::fprintf(stderr, "uidriver: no window \"%s\"%s\n", argv[2],
                     waits ? " with the text" : "");
        return 1;
    }
    if (waits) {
        return std::printf("%lld %lld\n", began, unixMicroseconds()) > 0 ? 0 : 1;
    }
    if (command == "text") {
        return std::fputs(GetControlText(window, id).c_str(), stdout) >= 0 ? 0 : 1;
    }
    if (command == "click") {
        return ClickButtonAndWait(window, id) ? 0 : 1;
    }
    const UINT message = command == "menu" ? WM_COMMAND : WM_SYSCOMMAND;
    return PostCommand(window, message, static_cast<UINT>(id)) ? 0 : 1;
}
