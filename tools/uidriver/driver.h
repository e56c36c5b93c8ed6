// Drives another process's windows as a user would: finds them, reads what
// they show, sends menu commands and clicks, and takes screenshots; and runs
// Norvale.exe from a program folder of its own. Used by the end-to-end
// tests, the demo and the benchmarks.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace uidriver {

// Every wait in the driver is bounded by one of these.
constexpr DWORD kDefaultTimeoutMs = 20000;
constexpr DWORD kSendTimeoutMs = 5000;

// Calls `done` every few milliseconds until it returns true (then true) or
// `timeoutMs` has passed (then false).
template <class Predicate>
bool PollUntil(DWORD timeoutMs, Predicate done) {
    constexpr DWORD kPollIntervalMs = 50;
    const ULONGLONG deadline = ::GetTickCount64() + timeoutMs;
    for (;;) {
        if (done()) {
            return true;
        }
        if (::GetTickCount64() >= deadline) {
            return false;
        }
        ::Sleep(kPollIntervalMs);
    }
}

// The first visible top-level window with this caption, belonging to the
// process `processId` (any process when 0), or null after the timeout.
HWND WaitForWindow(const std::string& caption, DWORD processId,
                   DWORD timeoutMs = kDefaultTimeoutMs);
// Same, without waiting.
HWND FindTopWindow(const std::string& caption, DWORD processId);
// The first visible window owned by `owner` (a dialog or message box it
// opened), or null after the timeout (at once when `owner` is null).
HWND WaitForOwnedWindow(HWND owner, DWORD timeoutMs = kDefaultTimeoutMs);
// True once the window no longer exists.
bool WaitForWindowGone(HWND window, DWORD timeoutMs = kDefaultTimeoutMs);
// True once the control's text equals `text`.
bool WaitForText(HWND dialog, int controlId, const std::string& text,
                 DWORD timeoutMs = kDefaultTimeoutMs);
// Returns once the thread of `window` is back in its message loop, that is
// when the handler it was running has returned.
bool WaitUntilIdle(HWND window, DWORD timeoutMs = kDefaultTimeoutMs);

std::string GetText(HWND window);
std::string GetControlText(HWND dialog, int controlId);
bool SetControlText(HWND dialog, int controlId, const std::string& text);

// Posted like the user's actions, so that a modal loop they start does not
// block the driver.
bool PostMenuCommand(HWND window, UINT commandId);
bool PostSysCommand(HWND window, UINT commandId);
bool ClickButton(HWND dialog, int controlId);
// Posts a button's mouse messages, as `times` clicks of the mouse on it in a
// row make them.
bool PostMouseClick(HWND dialog, int controlId, int times = 1);
// Waits for the message box that `owner` opened, presses `button` in it and
// returns the text it showed: empty when no box came or the press failed.
std::string AnswerMessageBox(HWND owner, int button);
// Clicks a button and waits until the window has handled the click (the
// handler returned), for at most `timeoutMs`.
bool ClickButtonAndWait(HWND dialog, int controlId, DWORD timeoutMs = kDefaultTimeoutMs);

// In a common open or save dialog: types `path` as the file name and
// presses the dialog's Open or Save button.
bool ChooseFile(HWND fileDialog, const std::string& path);

// Which of the given icons the control shows on screen: the index into
// `iconIds` of the icon from `module` that matches the control's pixels, or
// -1 when none does.
// True once the control shows text drawn on screen (whatever the text), even
// while its program is busy and answers no message.
bool WaitForDrawnText(HWND control, DWORD timeoutMs = kDefaultTimeoutMs);

int IdentifyIcon(HWND control, const std::string& modulePath, const std::vector<int>& iconIds);

// Writes the window's pixels as seen on screen to a 24-bit BMP file.
bool SaveScreenshot(HWND window, const std::string& bmpPath);

// Makes `folder` (a Windows path ending in a backslash) afresh, with a copy of
// `file` named `name` in it; false when the copy could not be made.
bool MakeFolderWithCopy(const std::string& folder, const std::string& file,
                        const std::string& name);

// Windows paths for files named by the Linux side (Wine maps / to Z:).
std::string ToWindowsPath(const std::string& path);

// Runs `act` while the file at `path` is held open with no sharing, as another
// program may hold it; false, without running it, when the file cannot be opened.
template <class Act>
bool WhileHeldOpen(const std::string& path, Act act) {
    HANDLE held = ::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr);
    if (held == INVALID_HANDLE_VALUE) {
        return false;
    }
    act();
    return ::CloseHandle(held) != 0;
}

// Texts for the controls of a dialog, by control id.
using ControlTexts = std::vector<std::pair<int, std::string>>;

// Norvale.exe in a program folder of its own, started with that folder as
// its current folder. Ended, if still running, when the object goes.
class Program {
public:
    // Makes `folder` (a Windows path ending in a backslash) afresh: a copy
    // of `exe` and an empty temp folder.
    Program(const std::string& exe, const std::string& folder);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    // The path of `name` in the program folder.
    std::string Path(const std::string& name) const { return m_folder + name; }
    // True once the main window shows, within `timeoutMs`.
    bool Start(DWORD timeoutMs = kDefaultTimeoutMs);
    HWND Window() const { return m_window; }
    // The text of the status box.
    std::string Status() const;
    // True once the status box shows `text`.
    bool WaitForStatus(const std::string& text) const;
    // True once the state icon shows `iconId` (IDI_READY or IDI_NOT_READY).
    bool WaitForStateIcon(int iconId) const;
    // True once the window shows both the status `text` and the icon `iconId`.
    bool WaitForState(const std::string& text, int iconId) const;
    // Posts a menu command to the main window.
    bool Command(UINT commandId) const;
    // Posts a menu command and returns the dialog it opens, or null.
    HWND OpenDialog(UINT commandId) const;
    // Posts a menu command that opens a common file dialog, chooses `path`
    // in it and returns the dialog, or null.
    HWND ChooseFile(UINT commandId, const std::string& path) const;
    // Waits until `dialog` is gone and the main window's handler that opened
    // it has returned; false for a null dialog.
    bool WaitUntilDone(HWND dialog) const;
    // Presses `button` in `dialog`, then WaitUntilDone.
    bool CloseDialog(HWND dialog, int button) const;
    // Presses `button` in `dialog`, answers the message box that opens with
    // `answer`, then WaitUntilDone. The box's text; empty when a step failed.
    std::string CloseDialogAnswering(HWND dialog, int button, int answer) const;
    // Sets the texts of controls of `dialog` (id, text), then CloseDialog.
    bool FillDialog(HWND dialog, const ControlTexts& texts, int button) const;
    // Waits for the process to end and returns its exit code; STILL_ACTIVE
    // when it has not ended in time.
    DWORD WaitForExitCode() const;

private:
    std::string m_folder;
    PROCESS_INFORMATION m_process{};
    HWND m_window = nullptr;
};

}  // namespace uidriver
