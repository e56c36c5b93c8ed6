// Drives another process's windows as a user would, and runs Norvale.exe, for
// the end-to-end tests and, through uidriver.exe (main.cpp), for the scripts.
// Every wait ends after kDefaultTimeoutMs unless it is given a time. Texts and
// paths are UTF-8.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

#include "platform/code_page.h"
#include "res/resource.h"

namespace uidriver {

constexpr DWORD kDefaultTimeoutMs = 20000;

// The first visible top-level window with this caption, of the process
// `processId` (any process when 0), once its control `controlId` (unless 0)
// shows a text that starts with `prefix`; or null. Looks every millisecond,
// for the benchmark's timings.
HWND WaitForWindow(const std::string& caption, DWORD processId, DWORD timeoutMs, int controlId = 0,
                   const std::string& prefix = {});
// A visible window that `owner` opened (a dialog, a message box), or null.
HWND WaitForOwnedWindow(HWND owner);
bool WaitForWindowGone(HWND window);
// True once `window`'s thread takes a message: the handler it was running has
// returned, or waits for its work while taking messages.
bool WaitUntilIdle(HWND window);
// True when, asked every 100 ms for `ms`, `window` answers WM_NULL and its
// control `controlId` WM_GETTEXT each time within a second, as a program
// that Windows never calls Not Responding does.
bool AnswersAtOnceFor(HWND window, int controlId, DWORD ms);
// True once the control shows drawn text, even while its program is busy.
bool WaitForDrawnText(HWND control);
std::string GetControlText(HWND dialog, int controlId);

// Posted, as the user's actions are, so that a modal loop they start does not
// block the driver. `message` is WM_COMMAND or WM_SYSCOMMAND.
bool PostCommand(HWND window, UINT message, UINT commandId);
bool ClickButton(HWND dialog, int controlId);
// The button's mouse messages of `times` clicks in a row.
bool PostMouseClick(HWND dialog, int controlId, int times = 1);
// Returns once the window has handled the click.
bool ClickButtonAndWait(HWND dialog, int controlId);
// Types `path` in a common file dialog and presses its Open or Save button.
bool ChooseFile(HWND fileDialog, const std::string& path);

// Makes `folder` (a Windows path ending in a backslash) afresh, with a copy of
// `file` named `name` in it; false when the copy could not be made.
bool MakeFolderWithCopy(const std::string& folder, const std::string& file,
                        const std::string& name);
// The Windows path of a file named by the Linux side (Wine maps / to Z:).
std::string ToWindowsPath(const std::string& path);

// Runs `act` while the file at `path` is held open with no sharing, as another
// program may hold it; false, without running it, when it cannot be opened.
template <class Act>
bool WhileHeldOpen(const std::string& path, Act act) {
    HANDLE held = ::CreateFileW(platform::WideFromText(path).c_str(), GENERIC_READ, 0, nullptr,
                                OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        return false;
    }
    act();
    return ::CloseHandle(held) != 0;
}

using ControlTexts = std::vector<std::pair<int, std::string>>;

// Norvale.exe started in a program folder of its own, and what a user does
// with its main window. Ended, if still running, when the object goes.
class Program {
public:
    // Makes `folder` afresh: a copy of `exe`, an empty temp folder.
    Program(const std::string& exe, const std::string& folder);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    std::string Path(const std::string& name) const { return m_folder + name; }
    bool Start(DWORD timeoutMs);
    HWND Window() const { return m_window; }
    std::string Status() const { return GetControlText(m_window, IDC_STATUS); }
    bool WaitForStatus(const std::string& text) const;
    // True once the state icon shows `iconId` (IDI_READY or IDI_NOT_READY).
    bool WaitForStateIcon(int iconId) const;
    bool WaitForState(const std::string& text, int iconId) const {
        return WaitForStatus(text) && WaitForStateIcon(iconId);
    }
    bool Command(UINT commandId) const { return PostCommand(m_window, WM_COMMAND, commandId); }
    // The dialog that the menu command opens, or null.
    HWND OpenDialog(UINT commandId) const {
        return Command(commandId) ? WaitForOwnedWindow(m_window) : nullptr;
    }
    // The file dialog that the menu command opens, once `path` is chosen in it.
    HWND ChooseFile(UINT commandId, const std::string& path) const {
        HWND dialog = OpenDialog(commandId);
        return dialog != nullptr && uidriver::ChooseFile(dialog, path) ? dialog : nullptr;
    }
    // True once `dialog` is gone and the handler that opened it has returned.
    bool WaitUntilDone(HWND dialog) const {
        return dialog != nullptr && WaitForWindowGone(dialog) && WaitUntilIdle(m_window);
    }
    bool CloseDialog(HWND dialog, int button) const {
        return ClickButton(dialog, button) && WaitUntilDone(dialog);
    }
    // CloseDialog, pressing `answer` in the message box that opens: its text,
    // or empty when a step failed.
    std::string CloseDialogAnswering(HWND dialog, int button, int answer) const;
    // Types the texts in `dialog`, then CloseDialog.
    bool FillDialog(HWND dialog, const ControlTexts& texts, int button) const;
    // The process's exit code once it has ended; STILL_ACTIVE when it has not.
    DWORD WaitForExitCode() const;

private:
    std::string m_folder;
    PROCESS_INFORMATION m_process{};
    HWND m_window = nullptr;
};

}  // namespace uidriver
