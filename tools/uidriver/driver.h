// Drives another process's windows as a user would: finds them, reads what
// they show, sends menu commands, clicks and keys, and takes screenshots.
// Used by the end-to-end tests and the demo.
#pragma once

#include <windows.h>

#include <string>
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
// True once the window no longer exists.
bool WaitForWindowGone(HWND window, DWORD timeoutMs = kDefaultTimeoutMs);
// True once the control's text equals `text`.
bool WaitForText(HWND dialog, int controlId, const std::string& text,
                 DWORD timeoutMs = kDefaultTimeoutMs);

std::string GetText(HWND window);
std::string GetControlText(HWND dialog, int controlId);
bool SetControlText(HWND dialog, int controlId, const std::string& text);
std::string GetClassName(HWND window);
// The texts of a window's child controls, in window order (for example the
// message of a message box).
std::vector<std::string> ChildTexts(HWND window);

// Posted like the user's actions, so that a modal loop they start does not
// block the driver.
bool PostMenuCommand(HWND window, UINT commandId);
bool PostSysCommand(HWND window, UINT commandId);
bool ClickButton(HWND dialog, int controlId);
// Clicks a button and waits until the window has handled the click (the
// handler returned), for at most `timeoutMs`.
bool ClickButtonAndWait(HWND dialog, int controlId, DWORD timeoutMs = kDefaultTimeoutMs);
bool PressKey(HWND target, UINT virtualKey);

// The first visible window owned by `owner` (a dialog or message box it
// opened), or null after the timeout.
HWND WaitForOwnedWindow(HWND owner, DWORD timeoutMs = kDefaultTimeoutMs);

// In a common open or save dialog: types `path` as the file name and
// presses the dialog's Open or Save button.
bool ChooseFile(HWND fileDialog, const std::string& path);

// The file name a common open or save dialog offers.
std::string FileDialogName(HWND fileDialog);

// Returns once the thread of `window` is back in its message loop, that is
// when the handler it was running has returned.
bool WaitUntilIdle(HWND window, DWORD timeoutMs = kDefaultTimeoutMs);

// The window that has the keyboard focus in the thread of `window`.
HWND FocusedWindow(HWND window);

// Which of the given icons the control shows on screen: the index into
// `iconIds` of the icon from `module` that matches the control's pixels, or
// -1 when none does.
int IdentifyIcon(HWND control, const std::string& modulePath, const std::vector<int>& iconIds);

// Writes the window's pixels as seen on screen to a 24-bit BMP file.
bool SaveScreenshot(HWND window, const std::string& bmpPath);

// Windows paths for files named by the Linux side (Wine maps / to Z:).
std::string ToWindowsPath(const std::string& path);

}  // namespace uidriver
