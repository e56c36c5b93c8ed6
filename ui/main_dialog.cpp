#include "ui/main_dialog.h"

#include <cstdlib>

#include "codes/codes_file.h"
#include "codes/retrieve.h"
#include "codes/update_batch.h"
#include "codes/working_copy.h"
#include "framework/app.h"
#include "framework/file_dialog.h"
#include "net/fetch_client.h"
#include "res/resource.h"
#include "settings/detect.h"
#include "settings/settings.h"
#include "ui/about_dialog.h"
#include "ui/options_dialog.h"
#include "ui/status_texts.h"

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

    LoadSettings();
    m_nCodesState = kReady;

    // The settings ask for the transfer utility to be looked for.
    if (g_strTransferPath == AUTODETECT_FAILED) {
        const std::string detected = DetectTransferUtility();
        if (detected != AUTODETECT_FAILED) {
            g_strTransferPath = detected;
            SaveSettingsOrWarn();
        } else {
            ShowMissingUtility();
        }
    }

    // The transfer utility is known: fetch the codes file.
    if (m_nCodesState == kReady) {
        SetStatusText(RETRIEVING_TEXT);
        m_nCodesState = kNotReady;
        RetrieveAndShow(CANNOT_RETRIEVE_FROM_WWW_TEXT);
    }
    return TRUE;
}

void CLoaderDlg::OnRetrieveFromWeb() {
    ShowStateIcon(m_hIconNotReady);
    SetStatusText(RETRIEVING_TEXT);
    m_nCodesState = kNotReady;
    RetrieveAndShow(CANNOT_RETRIEVE_TEXT);
}

void CLoaderDlg::RetrieveAndShow(const char* failureText) {
    std::string message;
    const RetrieveResult result =
        RetrieveCodes(g_strHost, g_strCodesPath, g_fetchClient, GetWorkingCopyPath(), message);
    if (result == RetrieveResult::Success) {
        SetStatusText(message);
        ShowStateIcon(m_hIconReady);
        m_nCodesState = kReady;
        return;
    }
    // A working copy that could not be written is named; any other failure
    // shows the caller's text. Nothing was written either way.
    ShowStateIcon(m_hIconNotReady);
    SetStatusText(result == RetrieveResult::WriteFailed ? message : std::string(failureText));
    m_nCodesState = kNotReady;
}

void CLoaderDlg::ShowMissingUtility() {
    ShowStateIcon(m_hIconNotReady);
    SetStatusText(MISSING_UTILITY_TEXT);
    m_nCodesState = kNotReady;
}

void CLoaderDlg::OnOpenCodesFile() {
    CFileDialog dialog(TRUE, CODES_EXTENSION, CODES_FILE_NAME, OFN_FILEMUSTEXIST, nullptr, this);
    if (dialog.DoModal() != IDOK) {
        return;
    }
    const std::string chosen = dialog.GetPathName();
    SetStatusText(chosen);

    // The window becomes ready only when the file was read and the working
    // copy written; otherwise it stays as it was and the failure is named.
    const std::string workingCopy = GetWorkingCopyPath();
    std::string codes;
    const CopyResult result = OpenCodesFile(chosen, workingCopy, codes);
    SetStatusText(OpenStatusText(result, chosen, workingCopy, codes));
    if (result != CopyResult::Ok) {
        return;
    }
    ShowStateIcon(m_hIconReady);
    m_nCodesState = kReady;
}

void CLoaderDlg::OnSaveCodesFile() {
    CFileDialog dialog(FALSE, CODES_EXTENSION, CODES_FILE_NAME, OFN_OVERWRITEPROMPT, nullptr, this);
    if (dialog.DoModal() != IDOK) {
        return;
    }
    const std::string chosen = dialog.GetPathName();
    const std::string workingCopy = GetWorkingCopyPath();
    std::string codes;
    const CopyResult result = CopyCodesFile(workingCopy, chosen, codes);
    SetStatusText(SaveStatusText(result, workingCopy, chosen));
}

void CLoaderDlg::OnOptions() {
    COptionsDlg options;
    // Whether a retrieval follows depends on the state before the dialog ran.
    const bool wasNotReady = m_nCodesState != kReady;
    if (options.DoModal() != IDOK) {
        return;
    }
    if (g_strTransferPath == AUTODETECT_FAILED) {
        ShowMissingUtility();
    }
    if (wasNotReady) {
        RetrieveAndShow(CANNOT_RETRIEVE_FROM_WWW_TEXT);
    }
}

void CLoaderDlg::OnUpdateBuildingCodes() {
    if (m_nCodesState != kReady) {
        return;
    }
    if (!WriteUpdateBatch(UPDATE_BATCH_FILE, g_strTransferPath, GetProgramFolder())) {
        SetStatusText(CANNOT_WRITE_UPDATE_BATCH_TEXT);
        return;
    }
    std::string previousText;
    GetDlgItem(IDC_STATUS).GetWindowText(previousText);
    SetStatusText(UPDATING_TEXT);
    // Runs the batch file through the command interpreter and waits for the
    // transfer utility to end; its outcome is for the utility to report.
    std::system(UPDATE_BATCH_FILE);
    SetStatusText(previousText);
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
