#include "ui/options_dialog.h"

#include <string>

#include "framework/app.h"
#include "framework/file_dialog.h"
#include "res/resource.h"
#include "settings/detect.h"
#include "workflow/status_texts.h"

namespace {

const char UTILITY_EXTENSION[] = "exe";
const char UTILITY_FILE_NAME[] = "dcomm2.exe";

}  // namespace

const MessageMapEntry COptionsDlg::kMessageEntries[] = {
    OnClicked<IDOK, &COptionsDlg::OnClickedOk>(),
    OnClicked<IDC_BROWSE, &COptionsDlg::OnBrowse>(),
    OnClicked<IDC_AUTODETECT, &COptionsDlg::OnAutoDetect>(),
};
const MessageMap COptionsDlg::kMessageMap = MakeMessageMap(&CDialog::kMessageMap, kMessageEntries);

void SaveSettingsOrWarn(const SettingsRefs& settings, const std::string& path) {
    if (!SaveSettings(settings, path)) {
        AfxMessageBox(SAVE_SETTINGS_FAILED_TEXT, MB_OK | MB_ICONEXCLAMATION);
    }
}

COptionsDlg::COptionsDlg(const SettingsRefs& settings, const std::string& settingsFile,
                         CWnd* pParent)
    : CDialog(IDD_OPTIONS, pParent), m_settings(settings), m_settingsFile(settingsFile) {}

// The dialog keeps no data of its own: its state is the text of its boxes.
void COptionsDlg::DoDataExchange(CDataExchange*) {}

BOOL COptionsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    GetDlgItem(IDC_HOST).SetWindowText(m_settings.host);
    GetDlgItem(IDC_CODES_PATH).SetWindowText(m_settings.codesPath);
    GetDlgItem(IDC_TRANSFER_PATH).SetWindowText(m_settings.transferPath);
    return TRUE;
}

void COptionsDlg::OnAutoDetect() {
    GetDlgItem(IDC_TRANSFER_PATH).SetWindowText(DetectTransferUtility());
}

void COptionsDlg::OnBrowse() {
    CFileDialog dialog(TRUE, UTILITY_EXTENSION, UTILITY_FILE_NAME, OFN_FILEMUSTEXIST, nullptr,
                       this);
    if (dialog.DoModal() != IDOK) {
        return;
    }
    GetDlgItem(IDC_TRANSFER_PATH).SetWindowText(dialog.GetPathName());
}

void COptionsDlg::OnClickedOk() {
    GetDlgItem(IDC_HOST).GetWindowText(m_settings.host);
    GetDlgItem(IDC_CODES_PATH).GetWindowText(m_settings.codesPath);
    GetDlgItem(IDC_TRANSFER_PATH).GetWindowText(m_settings.transferPath);
    SaveSettingsOrWarn(m_settings, m_settingsFile);
    OnOK();
}
