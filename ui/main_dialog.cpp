#include "ui/main_dialog.h"

#include "res/resource.h"
#include "framework/app.h"
#include "ui/about_dialog.h"

namespace {

constexpr UINT kSystemCommandMask = 0xFFF0;
constexpr int kMaxMenuTextLength = 256;

HICON LoadProgramIcon(UINT id) {
    LPCSTR name = MAKEINTRESOURCEA(id);
    return ::LoadIconA(AfxFindResourceHandle(name, RT_GROUP_ICON), name);
}

}  // namespace

CLoaderDlg::CLoaderDlg(CWnd* pParent)
    : CDialog(IDD_MAIN, pParent),
      m_hIcon(LoadProgramIcon(IDR_MAINFRAME)),
      m_hIconNotReady(LoadProgramIcon(IDI_NOT_READY)),
      m_hIconReady(LoadProgramIcon(IDI_READY)) {}

void CLoaderDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_STATE_ICON, m_stateIcon);
}

void CLoaderDlg::SetStatusText(const std::string& text) const {
    GetDlgItem(IDC_STATUS).SetWindowText(text);
}

void CLoaderDlg::ShowStateIcon(HICON hIcon) const {
    ::SendMessageA(m_stateIcon.m_hWnd, STM_SETICON, reinterpret_cast<WPARAM>(hIcon), 0);
}

BOOL CLoaderDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    // "About" item at the end of the system menu, unless its text is empty.
    HMENU systemMenu = GetSystemMenu(FALSE);
    if (systemMenu != nullptr) {
        char aboutText[kMaxMenuTextLength] = {};
        ::LoadStringA(AfxGetResourceHandle(), IDS_ABOUTBOX, aboutText, kMaxMenuTextLength);
        if (aboutText[0] != '\0') {
            ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, aboutText);
        }
    }

    SetIcon(m_hIcon, TRUE);
    SetIcon(m_hIcon, FALSE);

    ShowStateIcon(m_hIconNotReady);
    m_nCodesState = kNotReady;
    return TRUE;
}

void CLoaderDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & kSystemCommandMask) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
        return;
    }
    CDialog::OnSysCommand(nID, lParam);
}

void CLoaderDlg::OnAbout() {
    CAboutDlg about;
    about.DoModal();
}

void CLoaderDlg::OnPaint() {
    if (!IsIconic()) {
        CDialog::OnPaint();
        return;
    }
    // Minimized: draw the application icon centred in the client area.
    CPaintDC dc(*this);
    SendMessage(WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc.GetSafeHdc()), 0);
    const int iconWidth = ::GetSystemMetrics(SM_CXICON);
    const int iconHeight = ::GetSystemMetrics(SM_CYICON);
    RECT rect;
    GetClientRect(&rect);
    const int x = (rect.right - rect.left - iconWidth + 1) / 2;
    const int y = (rect.bottom - rect.top - iconHeight + 1) / 2;
    dc.DrawIcon(x, y, m_hIcon);
}

HICON CLoaderDlg::OnQueryDragIcon() {
    return m_hIcon;
}

void CLoaderDlg::OnDestroy() {
    WinHelp(0, HELP_QUIT);
    CDialog::OnDestroy();
}
