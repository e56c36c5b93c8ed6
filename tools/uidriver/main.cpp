// Command-line front of the UI driver, for the demo and the benchmarks:
//   uidriver wait CAPTION [TIMEOUT_MS]          exit 0 once the window shows
//   uidriver text CAPTION CONTROL_ID            prints the control's text
//   uidriver menu CAPTION COMMAND_ID            sends a menu command
//   uidriver syscommand CAPTION COMMAND_ID      sends a system command
//   uidriver clickwait CAPTION CONTROL_ID       clicks and waits for the handler
//   uidriver screenshot CAPTION FILE.bmp        saves the window's pixels
//   uidriver waitprefix CAPTION CONTROL_ID PREFIX TIMEOUT_MS
//                                               once the control's text starts
//                                               with PREFIX, prints when the
//                                               driver began looking and when
//                                               it saw the text (Unix time, us)
#include <fcntl.h>
#include <io.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "tools/uidriver/driver.h"

namespace {

int Usage() {
    std::fputs(
        "usage: uidriver wait|waitprefix|text|menu|syscommand|clickwait|screenshot CAPTION ...\n",
        stderr);
    return 2;
}

UINT Number(const char* text) {
    return static_cast<UINT>(std::strtoul(text, nullptr, 0));
}

// How often waitprefix looks at the window: often, since its answer is a
// time measured to the millisecond.
constexpr DWORD kPrefixPollMs = 1;

// The wall-clock time in microseconds since 1970, as precisely as the system
// tells it, so that a script can set it beside the time it started a program.
long long UnixMicroseconds() {
    using GetTimeFunction = void(WINAPI*)(LPFILETIME);
    static const GetTimeFunction getTime = [] {
        const HMODULE kernel = ::GetModuleHandleA("kernel32.dll");
        const FARPROC precise = kernel != nullptr
                                    ? ::GetProcAddress(kernel, "GetSystemTimePreciseAsFileTime")
                                    : nullptr;
        return precise != nullptr
                   ? reinterpret_cast<GetTimeFunction>(reinterpret_cast<void (*)()>(precise))
                   : &::GetSystemTimeAsFileTime;
    }();
    FILETIME now{};
    getTime(&now);
    ULARGE_INTEGER ticks{};
    ticks.LowPart = now.dwLowDateTime;
    ticks.HighPart = now.dwHighDateTime;
    // FILETIME counts 100-ns ticks from 1601; Unix time counts from 1970.
    constexpr unsigned long long kTicksFrom1601To1970 = 116444736000000000ULL;
    constexpr unsigned long long kTicksPerMicrosecond = 10;
    return static_cast<long long>((ticks.QuadPart - kTicksFrom1601To1970) / kTicksPerMicrosecond);
}

// Waits until a visible window `caption` shows a text starting with `prefix`
// in its control `controlId`, then prints when the wait began and when it
// ended. 0 once seen, 1 after the timeout.
int WaitForPrefix(const std::string& caption, int controlId, const std::string& prefix,
                  DWORD timeoutMs) {
    const long long began = UnixMicroseconds();
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        HWND window = uidriver::FindTopWindow(caption, 0);
        if (window != nullptr &&
            uidriver::GetControlText(window, controlId).compare(0, prefix.size(), prefix) == 0) {
            std::printf("%lld %lld\n", began, UnixMicroseconds());
            return 0;
        }
        if (::GetTickCount64() >= deadline) {
            std::fprintf(stderr, "uidriver: no text \"%s...\" in \"%s\"\n", prefix.c_str(),
                         caption.c_str());
            return 1;
        }
        ::Sleep(kPrefixPollMs);
    }
}

}  // namespace

int main(int argc, char** argv) {
    // Texts are printed byte for byte: no CR is added before an LF.
    _setmode(_fileno(stdout), _O_BINARY);
    if (argc < 3) {
        return Usage();
    }
    const std::string command = argv[1];
    const std::string caption = argv[2];
    if (command == "waitprefix") {
        constexpr int kWaitPrefixArguments = 6;
        return argc == kWaitPrefixArguments
                   ? WaitForPrefix(caption, static_cast<int>(Number(argv[3])), argv[4],
                                   Number(argv[5]))
                   : Usage();
    }
    const DWORD timeout =
        argc > 3 && command == "wait" ? Number(argv[3]) : uidriver::kDefaultTimeoutMs;
    HWND window = uidriver::WaitForWindow(caption, 0, timeout);
    if (window == nullptr) {
        std::fprintf(stderr, "uidriver: no window \"%s\"\n", caption.c_str());
        return 1;
    }
    if (command == "wait") {
        return 0;
    }
    if (argc < 4) {
        return Usage();
    }
    if (command == "text") {
        std::fputs(uidriver::GetControlText(window, static_cast<int>(Number(argv[3]))).c_str(),
                   stdout);
        return 0;
    }
    if (command == "menu") {
        return uidriver::PostMenuCommand(window, Number(argv[3])) ? 0 : 1;
    }
    if (command == "syscommand") {
        return uidriver::PostSysCommand(window, Number(argv[3])) ? 0 : 1;
    }
    if (command == "clickwait") {
        return uidriver::ClickButtonAndWait(window, static_cast<int>(Number(argv[3]))) ? 0 : 1;
    }
    if (command == "screenshot") {
        return uidriver::SaveScreenshot(window, argv[3]) ? 0 : 1;
    }
    return Usage();
}
