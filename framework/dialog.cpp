#include "framework/dialog.h"

#include <algorithm>
#include <exception>
#include <string>

#include "framework/app.h"
#include "framework/wait.h"

INT_PTR CDialog::DoModal(HWND owner) {
    // A dialog of Unicode windows: an edit box shows any text it is given.
    return ::DialogBoxParamW(::GetModuleHandleW(nullptr), MAKEINTRESOURCEW(m_nIDTemplate), owner,
                             &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

namespace {

// A menu item, an accelerator or a button's click (OK and Cancel among them,
// which Enter, Escape and the close box give), or an item the window added to
// its system menu; not the system's own items, such as moving or minimizing.
bool IsCommand(UINT message, WPARAM wParam) {
    constexpr WORD kAcceleratorCode = 1;  // BN_CLICKED and a menu item's are 0
    constexpr WPARAM kSystemCommandMask = 0xFFF0;
    return (message == WM_COMMAND && HIWORD(wParam) <= kAcceleratorCode) ||
           (message == WM_SYSCOMMAND && (wParam & kSystemCommandMask) < SC_SIZE);
}

}  // namespace

const MessageMap& CDialog::GetMessageMap() const {
    static const MessageMap none;
    return none;
}

// No exception may leave a window procedure: the system cannot pass it on,
// and the process would end. A handler that fails unexpectedly is named in a
// message box, and the program goes on.
INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
        reinterpret_cast<CDialog*>(lParam)->m_hWnd = hWnd;
    }
    auto* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    static constexpr char failed[] = "The command failed unexpectedly:\r\n";
    try {
        return dialog != nullptr ? dialog->Dispatch(message, wParam, lParam) : FALSE;
    } catch (const std::exception& failure) {
        AfxMessageBox(failed + std::string(failure.what()), MB_OK | MB_ICONERROR);
    } catch (...) {
        AfxMessageBox(failed + std::string("unknown error"), MB_OK | MB_ICONERROR);
    }
    return TRUE;
}

INT_PTR CDialog::Dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        return OnInitDialog();
    }
    // A command that comes while a command's work is waited for runs after
    // it, as it would had the window waited without taking messages.
    if (IsCommand(message, wParam) && AfxHoldCommand(m_hWnd, message, wParam, lParam)) {
        return TRUE;
    }
    const MessageMap& map = GetMessageMap();
    const auto entry = std::find_if(map.begin(), map.end(), [&](const MessageMapEntry& candidate) {
        return candidate.message == message &&
               (message != WM_COMMAND || candidate.command == wParam);
    });
    LRESULT result = 0;
    if (entry != map.end()) {
        if (!entry->handle(*this, wParam, lParam, result)) {
            return FALSE;
        }
    } else if (message == WM_COMMAND && (wParam == IDOK || wParam == IDCANCEL)) {
        ::EndDialog(m_hWnd, static_cast<INT_PTR>(wParam));  // Enter, Escape, the close box
    } else {
        return FALSE;
    }
    // A dialog procedure returns this one result itself, the others through
    // DWLP_MSGRESULT.
    if (message == WM_QUERYDRAGICON) {
        return static_cast<INT_PTR>(result);
    }
    ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}
