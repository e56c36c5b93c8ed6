#include "framework/dialog.h"

#include "framework/app.h"

#include <exception>
#include <string>

namespace {

constexpr char UNEXPECTED_FAILURE_TEXT[] = "The command failed unexpectedly:\r\n";

// Messages whose result a dialog procedure returns directly instead of
// through DWLP_MSGRESULT.
bool ReturnsResultDirectly(UINT message) {
    switch (message) {
        case WM_QUERYDRAGICON:
        case WM_CTLCOLORDLG:
        case WM_CTLCOLORSTATIC:
        case WM_CTLCOLOREDIT:
        case WM_CTLCOLORBTN:
        case WM_COMPAREITEM:
        case WM_VKEYTOITEM:
        case WM_CHARTOITEM:
            return true;
        default:
            return false;
    }
}

}  // namespace

INT_PTR CDialog::DoModal() {
    HWND owner = m_pParentWnd != nullptr ? m_pParentWnd->m_hWnd : nullptr;
    CWnd* mainWnd = AfxGetMainWnd();
    if (owner == nullptr && mainWnd != nullptr && mainWnd != this) {
        owner = mainWnd->m_hWnd;
    }
    return ::DialogBoxParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), owner,
                             &CDialog::DialogProc, reinterpret_cast<LPARAM>(this));
}

BOOL CDialog::OnInitDialog() {
    CDataExchange dx(*this, false);
    DoDataExchange(&dx);
    return TRUE;
}

void CDialog::DoDataExchange(CDataExchange*) {}

// No exception may leave a window procedure: the system cannot pass it on,
// and the process would end. A handler that fails unexpectedly is named in a
// message box, and the program goes on.
INT_PTR CALLBACK CDialog::DialogProc(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return Route(hWnd, message, wParam, lParam);
    } catch (const std::exception& failure) {
        AfxMessageBox((UNEXPECTED_FAILURE_TEXT + std::string(failure.what())).c_str(),
                      MB_OK | MB_ICONERROR);
    } catch (...) {
        AfxMessageBox((UNEXPECTED_FAILURE_TEXT + std::string("unknown error")).c_str(),
                      MB_OK | MB_ICONERROR);
    }
    return TRUE;
}

INT_PTR CDialog::Route(HWND hWnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* dialog = reinterpret_cast<CDialog*>(lParam);
        ::SetWindowLongPtrA(hWnd, DWLP_USER, lParam);
        dialog->m_hWnd = hWnd;
        return dialog->OnInitDialog();
    }
    auto* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hWnd, DWLP_USER));
    if (dialog == nullptr) {
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        dialog->m_hWnd = nullptr;
        return FALSE;
    }
    return dialog->HandleMessage(message, wParam, lParam);
}

INT_PTR CDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    bool handled = Dispatch(message, wParam, lParam, result);
    if (!handled && message == WM_COMMAND && AfxGetApp() != nullptr) {
        handled = AfxGetApp()->Dispatch(message, wParam, lParam, result);
    }
    if (!handled) {
        return FALSE;
    }
    if (ReturnsResultDirectly(message)) {
        return static_cast<INT_PTR>(result);
    }
    ::SetWindowLongPtrA(m_hWnd, DWLP_MSGRESULT, result);
    return TRUE;
}
