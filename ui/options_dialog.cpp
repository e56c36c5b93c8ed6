#include "ui/options_dialog.h"

#include <string>

#include "framework/app.h"
#include "framework/file_dialog.h"
#include "settings/detect.h"
#include "settings/settings.h"

namespace {

const char UTILITY_EXTENSION[] = "exe";
const char UTILITY_FILE_NAME[] = "dcomm2.exe";

}  // namespace

void SaveSettingsOrWarn() {
    if (!SaveSettings()) {
        AfxMessageBox(SAVE_SETTINGS_FAILED_TEXT, MB_OK | MB_ICONEXCLAMATION);
    }
}

COptionsDlg::COptionsDlg(CWnd* pParent) : CDialog(IDD_OPTIONS, pParent) {}

// The dialog keeps no data of its own: its state is the text of its boxes.
void COptionsDlg::DoDataExchange(CDataExchange*) {}

BOOL COptionsDlg::OnInitDialog() {
    CDialog::OnInitDialog();
    GetDlgItem(IDC_HOST).SetWindowText(g_strHost);
    GetDlgItem(IDC_CODES_PATH).SetWindowText(g_strCodesPath);
    GetDlgItem(IDC_TRANSFER_PATH).SetWindowText(g_strTransferPath);
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
    GetDlgItem(IDC_HOST).GetWindowText(g_strHost);
    GetDlgItem(IDC_CODES_PATH).GetWindowText(g_strCodesPath);
    GetDlgItem(IDC_TRANSFER_PATH).GetWindowText(g_strTransferPath);
    SaveSettingsOrWarn();
    OnOK();
}
