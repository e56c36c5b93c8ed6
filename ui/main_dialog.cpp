#include "ui/main_dialog.h"

#include "codes/working_copy.h"
#include "framework/app.h"
#include "framework/file_dialog.h"
#include "net/fetch_client.h"
#include "net/https_client.h"
#include "platform/file_system.h"
#include "res/resource.h"
#include "ui/about_dialog.h"
#include "ui/options_dialog.h"
#include "workflow/status_texts.h"

namespace {

constexpr UINT kSystemCommandMask = 0xFFF0;
constexpr int kMaxMenuTextLength = 256;

// What the Open and Save dialogs offer.
const char CODES_EXTENSION[] = "DAT";
const char CODES_FILE_NAME[] = "CODES.DAT";

HICON LoadProgramIcon(UINT id) {
    LPCSTR name = MAKEINTRESOURCEA(id);
    return ::LoadIconA(AfxFindResourceHandle(name, RT_GROUP_ICON), name);
}

}  // namespace

const MessageMapEntry CLoaderDlg::kMessageEntries[] = {
    OnMessage<WM_SYSCOMMAND, &CLoaderDlg::OnSysCommand>(),
    OnMessage<WM_DESTROY, &CLoaderDlg::OnDestroy>(),
    OnMessage<WM_PAINT, &CLoaderDlg::OnPaint>(),
    OnMessage<WM_QUERYDRAGICON, &CLoaderDlg::OnQueryDragIcon>(),
    OnMessage<WM_STARTUP_FETCH, &CLoaderDlg::OnStartUpFetch>(),
    OnCommand<ID_FILE_RETRIEVE, &CLoaderDlg::OnRetrieveFromWeb>(),
    OnCommand<ID_FILE_OPEN_CODES, &CLoaderDlg::OnOpenCodesFile>(),
    OnCommand<ID_FILE_SAVE_CODES, &CLoaderDlg::OnSaveCodesFile>(),
    OnCommand<ID_FILE_EXIT, &CDialog::OnCancel>(),
    OnCommand<ID_HELP_ABOUT, &CLoaderDlg::OnAbout>(),
    OnCommand<ID_CONFIGURE_OPTIONS, &CLoaderDlg::OnOptions>(),
    OnClicked<IDC_UPDATE, &CLoaderDlg::OnUpdateBuildingCodes>(),
};
const MessageMap CLoaderDlg::kMessageMap = MakeMessageMap(&CDialog::kMessageMap, kMessageEntries);

CLoaderDlg::CLoaderDlg(const SettingsRefs& settings, CFetchClient& fetchClient,
                       CHttpsClient& httpsClient, CWnd* pParent)
    : CDialog(IDD_MAIN, pParent),
      m_settings(settings),
      m_hIcon(LoadProgramIcon(IDR_MAINFRAME)),
      m_hIconNotReady(LoadProgramIcon(IDI_NOT_READY)),
      m_hIconReady(LoadProgramIcon(IDI_READY)),
      // The program's files are named once, from the folder it starts in.
      m_settingsFile(platform::InCurrentFolder(SETTINGS_FILE_NAME)),
      m_core(*this,
             LoaderEnvironment{settings,
                               // Plain http through the program's own client, https
                               // through the system's.
                               [&fetchClient, &httpsClient](const Url& url, FetchFailure& failure) {
                                   return url.scheme == Scheme::Https
                                              ? httpsClient.Fetch(url, failure)
                                              : fetchClient.Fetch(url, failure);
                               },
                               GetProgramFolder(), m_settingsFile,
                               platform::InCurrentFolder(UPDATE_BATCH_FILE)}) {}

void CLoaderDlg::DoDataExchange(CDataExchange* pDX) {
    CDialog::DoDataExchange(pDX);
    DDX_Control(pDX, IDC_STATE_ICON, m_stateIcon);
}

// Both view operations paint at once: a workflow may block the window right
// after it (a fetch, the transfer utility), and what it shows must be seen.
void CLoaderDlg::SetStatusText(const std::string& text) {
    const CWnd status = GetDlgItem(IDC_STATUS);
    status.SetWindowText(text);
    ::UpdateWindow(status.m_hWnd);
}

void CLoaderDlg::ShowStateIcon(StateIcon icon) {
    const HICON hIcon = icon == StateIcon::Ready ? m_hIconReady : m_hIconNotReady;
    ::SendMessageA(m_stateIcon.m_hWnd, STM_SETICON, reinterpret_cast<WPARAM>(hIcon), 0);
    ::UpdateWindow(m_stateIcon.m_hWnd);
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

    if (!m_core.StartUp()) {
        AfxMessageBox(SAVE_SETTINGS_FAILED_TEXT, MB_OK | MB_ICONEXCLAMATION);
    }
    // The fetch may take long: it runs once the window is there to be seen.
    ::PostMessageA(m_hWnd, WM_STARTUP_FETCH, 0, 0);
    return TRUE;
}

void CLoaderDlg::OnStartUpFetch() {
    ::UpdateWindow(m_hWnd);
    WhileBusy([this] { m_core.RetrieveAtStartUp(); });
}

void CLoaderDlg::OnRetrieveFromWeb() {
    WhileBusy([this] { m_core.RetrieveFromWeb(); });
}

bool CLoaderDlg::ChooseCodesFile(bool open, std::string& path) {
    CFileDialog dialog(open ? TRUE : FALSE, CODES_EXTENSION, CODES_FILE_NAME,
                       open ? OFN_FILEMUSTEXIST : OFN_OVERWRITEPROMPT, nullptr, this);
    if (dialog.DoModal() != IDOK) {
        return false;
    }
    path = dialog.GetPathName();
    return true;
}

void CLoaderDlg::OnOpenCodesFile() {
    std::string chosen;
    if (ChooseCodesFile(true, chosen)) {
        m_core.OpenCodesFile(chosen);
    }
}

void CLoaderDlg::OnSaveCodesFile() {
    std::string chosen;
    if (ChooseCodesFile(false, chosen)) {
        m_core.SaveCodesFile(chosen);
    }
}

void CLoaderDlg::OnOptions() {
    // Whether a retrieval follows depends on the state before the dialog ran.
    const bool wasReady = m_core.IsReady();
    COptionsDlg options(m_settings, m_settingsFile);
    const bool confirmed = options.DoModal() == IDOK;
    WhileBusy([&] { m_core.OptionsClosed(confirmed, wasReady); });
}

void CLoaderDlg::OnUpdateBuildingCodes() {
    WhileBusy([this] { m_core.UpdateBuildingCodes(); });
}

void CLoaderDlg::WhileBusy(const std::function<void()>& work) {
    // While a fetch or the transfer utility runs the window takes no command:
    // the button and the menu are disabled, and the clicks and keys that
    // arrive meanwhile (a double click's second click, a click on the close
    // box, say) are dropped. A disabled button loses the keyboard focus; it
    // gets it back after.
    HWND focused = ::GetFocus();
    EnableCommands(false);
    work();
    DropUserInput();
    EnableCommands(true);
    ::SetFocus(focused);
}

void CLoaderDlg::EnableCommands(bool enable) {
    ::EnableWindow(GetDlgItem(IDC_UPDATE).m_hWnd, enable ? TRUE : FALSE);
    HMENU menu = ::GetMenu(m_hWnd);
    const int count = ::GetMenuItemCount(menu);
    for (int position = 0; position < count; ++position) {
        ::EnableMenuItem(menu, static_cast<UINT>(position),
                         MF_BYPOSITION | (enable ? MF_ENABLED : MF_GRAYED));
    }
    ::DrawMenuBar(m_hWnd);
    ::UpdateWindow(m_hWnd);
}

void CLoaderDlg::DropUserInput() {
    MSG message;
    // The mouse in the window's frame (its close box among it) too.
    while (::PeekMessageA(&message, nullptr, WM_KEYFIRST, WM_KEYLAST, PM_REMOVE) ||
           ::PeekMessageA(&message, nullptr, WM_MOUSEFIRST, WM_MOUSELAST, PM_REMOVE) ||
           ::PeekMessageA(&message, nullptr, WM_NCMOUSEMOVE, WM_NCXBUTTONDBLCLK, PM_REMOVE)) {
    }
}

void CLoaderDlg::OnSysCommand(UINT nID, LPARAM lParam) {
    if ((nID & kSystemCommandMask) == IDM_ABOUTBOX) {
        OnAbout();
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
