#include "ui/main_dialog.h"

#include <optional>

#include "framework/app.h"
#include "platform/code_page.h"
#include "res/resource.h"
#include "ui/options_dialog.h"

namespace {

constexpr UINT kSystemCommandMask = 0xFFF0;

// What the Open and Save dialogs offer.
const char CODES_EXTENSION[] = "DAT";
const char CODES_FILE_NAME[] = "CODES.DAT";

HICON LoadProgramIcon(UINT id) {
    return ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(id));
}

// The About box: a fixed text and an OK button.
class CAboutDlg : public CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
};

}  // namespace

const MessageMap CLoaderDlg::kMessageMap = {
    OnMessage(WM_SYSCOMMAND, &CLoaderDlg::OnSysCommand),
    OnMessage(WM_DESTROY, &CLoaderDlg::OnDestroy),
    OnMessage(WM_PAINT, &CLoaderDlg::OnPaint),
    OnMessage(WM_QUERYDRAGICON, &CLoaderDlg::OnQueryDragIcon),
    OnMessage(WM_STARTUP_FETCH, &CLoaderDlg::OnStartUpFetch),
    OnCommand(ID_FILE_RETRIEVE, &CLoaderDlg::OnRetrieveFromWeb),
    OnCommand(ID_FILE_OPEN_CODES, &CLoaderDlg::OnOpenCodesFile),
    OnCommand(ID_FILE_SAVE_CODES, &CLoaderDlg::OnSaveCodesFile),
    OnCommand(ID_FILE_EXIT, &CDialog::OnCancel),
    OnCommand(ID_HELP_ABOUT, &CLoaderDlg::OnAbout),
    OnCommand(ID_CONFIGURE_OPTIONS, &CLoaderDlg::OnOptions),
    OnClicked(IDC_UPDATE, &CLoaderDlg::OnUpdateBuildingCodes),
};

CLoaderDlg::CLoaderDlg(Settings& settings, LoaderEnvironment environment)
    : CDialog(IDD_MAIN),
      m_hIcon(LoadProgramIcon(IDR_MAINFRAME)),
      m_hIconNotReady(LoadProgramIcon(IDI_NOT_READY)),
      m_hIconReady(LoadProgramIcon(IDI_READY)),
      m_core(*this, settings, std::move(environment)) {}

// Both of these paint at once, so that what a workflow shows is seen before
// its next step starts.
void CLoaderDlg::SetStatusText(const std::string& text) {
    ::SetDlgItemTextW(m_hWnd, IDC_STATUS, platform::WideFromText(text).c_str());
    ::UpdateWindow(::GetDlgItem(m_hWnd, IDC_STATUS));
}

void CLoaderDlg::ShowStateIcon(CodesState state) {
    const HICON icon = state == CodesState::Ready ? m_hIconReady : m_hIconNotReady;
    ::SendDlgItemMessageA(m_hWnd, IDC_STATE_ICON, STM_SETICON, reinterpret_cast<WPARAM>(icon), 0);
    ::UpdateWindow(::GetDlgItem(m_hWnd, IDC_STATE_ICON));
}

// While a fetch or the transfer utility runs the window takes no command:
// the button and the menu are disabled, and the clicks and keys that arrive
// meanwhile (a double click's second click, a click on the close box, say)
// are dropped. A disabled button loses the keyboard focus; it gets it back.
void CLoaderDlg::EnableCommands(bool enable) {
    if (enable) {
        MSG message;
        // The mouse in the window's frame (its close box among it) too.
        while (::PeekMessageA(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE) ||
               ::PeekMessageA(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE) ||
               ::PeekMessageA(&message, nullptr, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE)) {
        }
    } else {
        m_hFocus = ::GetFocus();
    }
    ::EnableWindow(::GetDlgItem(m_hWnd, IDC_UPDATE), enable ? TRUE : FALSE);
    HMENU menu = ::GetMenu(m_hWnd);
    const int count = ::GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        ::EnableMenuItem(menu, static_cast<UINT>(position),
                         MF_BYPOSITION | (enable ? MF_ENABLED : MF_GRAYED));
    }
    ::DrawMenuBar(m_hWnd);
    ::UpdateWindow(m_hWnd);
    if (enable) {
        ::SetFocus(m_hFocus);
    }
}

void CLoaderDlg::ShowWarning(const std::string& text) {
    AfxMessageBox(text, MB_OK | MB_ICONEXCLAMATION);
}

BOOL CLoaderDlg::OnInitDialog() {
    // "About" item at the end of the system menu, unless its text is empty.
    HMENU systemMenu = ::GetSystemMenu(m_hWnd, FALSE);
    char aboutText[256] = {};
    ::LoadStringA(::GetModuleHandleA(nullptr), IDS_ABOUTBOX, aboutText, sizeof aboutText);
    if (systemMenu != nullptr && aboutText[0] != '\0') {
        ::AppendMenuA(systemMenu, MF_SEPARATOR, 0, nullptr);
        ::AppendMenuA(systemMenu, MF_STRING, IDM_ABOUTBOX, aboutText);
    }
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(m_hIcon));
    ::SendMessageA(m_hWnd, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(m_hIcon));

    m_core.StartUp();
    // The fetch may take long: it runs once the window is there to be seen.
    ::PostMessageA(m_hWnd, WM_STARTUP_FETCH, 0, 0);
    return TRUE;
}

void CLoaderDlg::OnStartUpFetch() {
    ::UpdateWindow(m_hWnd);
    m_core.RetrieveAtStartUp();
}

void CLoaderDlg::OnRetrieveFromWeb() {
    m_core.RetrieveFromWeb();
}

void CLoaderDlg::OnOpenCodesFile() {
    const auto chosen = ChooseFile(m_hWnd, FileDialog::Open, CODES_EXTENSION, CODES_FILE_NAME);
    if (chosen) {
        m_core.OpenCodesFile(*chosen);
    }
}

void CLoaderDlg::OnSaveCodesFile() {
    const auto chosen = ChooseFile(m_hWnd, FileDialog::Save, CODES_EXTENSION, CODES_FILE_NAME);
    if (chosen) {
        m_core.SaveCodesFile(*chosen);
    }
}

void CLoaderDlg::OnOptions() {
    m_core.Options([this](const Settings& current, const SettingsSaver& save) {
        return RunOptionsDialog(m_hWnd, current, save);
    });
}

void CLoaderDlg::OnUpdateBuildingCodes() {
    m_core.UpdateBuildingCodes();
}

bool CLoaderDlg::OnSysCommand(UINT nID, LPARAM) {
    if ((nID & kSystemCommandMask) != IDM_ABOUTBOX) {
        return false;
    }
    OnAbout();
    return true;
}

void CLoaderDlg::OnAbout() {
    CAboutDlg about;
    about.DoModal(m_hWnd);
}

bool CLoaderDlg::OnPaint() {
    if (!::IsIconic(m_hWnd)) {
        return false;
    }
    // Minimized: the application icon, centred in the client area.
    PAINTSTRUCT paint;
    const HDC dc = ::BeginPaint(m_hWnd, &paint);
    ::SendMessageA(m_hWnd, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
    RECT rect;
    ::GetClientRect(m_hWnd, &rect);
    const int x = (rect.right - rect.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
    const int y = (rect.bottom - rect.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
    ::DrawIcon(dc, x, y, m_hIcon);
    ::EndPaint(m_hWnd, &paint);
    return true;
}

HICON CLoaderDlg::OnQueryDragIcon() {
    return m_hIcon;
}

bool CLoaderDlg::OnDestroy() {
    ::WinHelpA(m_hWnd, nullptr, HELP_QUIT, 0);
    return false;  // the dialog's own clean-up follows
}
