#include "framework/wnd.h"

#include "framework/app.h"
#include "platform/file_system.h"

void CWnd::GetWindowText(std::string& text) const {
    const int length = ::GetWindowTextLengthA(m_hWnd);
    text.assign(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    const int copied = ::GetWindowTextA(m_hWnd, &text[0], length + 1);
    text.resize(static_cast<std::size_t>(copied > 0 ? copied : 0));
}

void CWnd::SetIcon(HICON icon, BOOL big) const {
    SendMessage(WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

void CWnd::WinHelp(ULONG_PTR data, UINT command) const {
    std::string helpFile;
    platform::GetExecutablePath(helpFile);
    const std::size_t dot = helpFile.find_last_of('.');
    helpFile = helpFile.substr(0, dot) + ".HLP";
    ::WinHelpA(m_hWnd, helpFile.c_str(), command, data);
}

void DDX_Control(CDataExchange* pDX, int id, CWnd& control) {
    if (control.m_hWnd == nullptr) {
        control.m_hWnd = ::GetDlgItem(pDX->m_pDlgWnd->m_hWnd, id);
    }
}

CPaintDC::CPaintDC(const CWnd& wnd) : m_hWnd(wnd.m_hWnd), m_hDC(::BeginPaint(m_hWnd, &m_ps)) {}

CPaintDC::~CPaintDC() {
    ::EndPaint(m_hWnd, &m_ps);
}
