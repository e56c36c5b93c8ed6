#include "framework/wait.h"

#include "platform/system.h"

#include <process.h>

#include <utility>
#include <vector>

namespace {

struct HeldCommand {
    HWND window;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};

// The commands held by the wait that runs on this thread, if one does.
std::vector<HeldCommand>* g_pHeldCommands = nullptr;

unsigned __stdcall RunWork(void* work) {
    (*static_cast<std::function<void()>*>(work))();
    return 0;
}

// The user's keys and clicks, in a window or on its frame; a press on the
// caption, which starts moving the window, is not dropped.
bool IsDroppedInput(const MSG& message) {
    const UINT m = message.message;
    if (m == WM_NCLBUTTONDOWN && message.wParam == HTCAPTION) {
        return false;
    }
    return (m >= WM_KEYFIRST && m <= WM_KEYLAST) || (m >= WM_MOUSEFIRST && m <= WM_MOUSELAST) ||
           (m >= WM_NCMOUSEMOVE && m <= WM_NCXBUTTONDBLCLK);
}

}  // namespace

void AfxWaitForWork(std::function<void()> work) {
    const platform::KernelHandle worker(
        reinterpret_cast<HANDLE>(::_beginthreadex(nullptr, 0, &RunWork, &work, 0, nullptr)));
    if (!worker) {
        work();
        return;
    }
    std::vector<HeldCommand> held;
    std::vector<HeldCommand>* const outer = std::exchange(g_pHeldCommands, &held);
    HANDLE handle = worker.get();
    // Woken by the worker's end, or by any message for this thread's windows.
    while (::MsgWaitForMultipleObjects(1, &handle, FALSE, INFINITE, QS_ALLINPUT) ==
           WAIT_OBJECT_0 + 1) {
        MSG message;
        while (::PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (!IsDroppedInput(message)) {
                ::DispatchMessageA(&message);
            }
        }
    }
    // Should the wait have failed, the work still uses what it was given.
    ::WaitForSingleObject(handle, INFINITE);
    g_pHeldCommands = outer;
    for (const HeldCommand& command : held) {
        ::PostMessageA(command.window, command.message, command.wParam, command.lParam);
    }
}

bool AfxHoldCommand(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_pHeldCommands == nullptr) {
        return false;
    }
    g_pHeldCommands->push_back({window, message, wParam, lParam});
    return true;
}
