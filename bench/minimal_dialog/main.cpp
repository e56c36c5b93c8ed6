// A minimal Win32 dialog program: it shows one modal dialog from its
// template and ends when the dialog is closed. It does nothing else, so the
// time until its window shows is what starting any dialog program costs.
// Built with MINIMAL_DIALOG_SOCKETS it also starts the common controls and
// the socket library first, as the main program does.
#ifdef MINIMAL_DIALOG_SOCKETS
#include <winsock2.h>
#include <commctrl.h>
#endif
#include <windows.h>

#include "bench/minimal_dialog/resource.h"

namespace {

INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
        case WM_INITDIALOG:
            // Let the dialog manager give the focus to the first control.
            return TRUE;
        case WM_COMMAND:
            if (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) {
                ::EndDialog(dialog, LOWORD(wParam));
                return TRUE;
            }
            return FALSE;
        default:
            return FALSE;
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
#ifdef MINIMAL_DIALOG_SOCKETS
    ::InitCommonControls();
    WSADATA data{};
    if (::WSAStartup(MAKEWORD(2, 2), &data) != 0) {
        return -1;
    }
#endif
    return static_cast<int>(
        ::DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_MINIMAL), nullptr, &DialogProc, 0));
}
