#include "ui/options_dialog.h"

#include <string>

#include "framework/app.h"
#include "framework/dialog.h"
#include "res/resource.h"
#include "settings/detect.h"

namespace {

// The text of the dialog's control `id`.
std::string ItemText(HWND dialog, int id) {
    const int length = ::GetWindowTextLengthA(::GetDlgItem(dialog, id));
    std::string text(static_cast<std::size_t>(length > 0 ? length : 0) + 1, '\0');
    const UINT copied = ::GetDlgItemTextA(dialog, id, &text[0], static_cast<int>(text.size()));
    text.resize(copied);
    return text;
}

// It keeps no data of its own while it runs: its state is the text of its boxes.
class COptionsDlg : public CDialog {
public:
    COptionsDlg(const Settings& settings, const SettingsSaver& save)
        : CDialog(IDD_OPTIONS), m_settings(settings), m_save(save) {}

    Settings m_settings;

private:
    static const MessageMap kMessageMap;
    const MessageMap& GetMessageMap() const override { return kMessageMap; }

    BOOL OnInitDialog() override;
    void OnClickedOk();
    void OnBrowse();
    void OnAutoDetect();

    const SettingsSaver& m_save;
};

const MessageMap COptionsDlg::kMessageMap = {
    OnClicked(IDOK, &COptionsDlg::OnClickedOk),
    OnClicked(IDC_BROWSE, &COptionsDlg::OnBrowse),
    OnClicked(IDC_AUTODETECT, &COptionsDlg::OnAutoDetect),
};

BOOL COptionsDlg::OnInitDialog() {
    ::SetDlgItemTextA(m_hWnd, IDC_HOST, m_settings.host.c_str());
    ::SetDlgItemTextA(m_hWnd, IDC_CODES_PATH, m_settings.codesPath.c_str());
    ::SetDlgItemTextA(m_hWnd, IDC_TRANSFER_PATH, m_settings.transferPath.c_str());
    return TRUE;
}

void COptionsDlg::OnAutoDetect() {
    ::SetDlgItemTextA(m_hWnd, IDC_TRANSFER_PATH, DetectTransferUtility().c_str());
}

void COptionsDlg::OnBrowse() {
    const auto chosen = ChooseFile(m_hWnd, FileDialog::Open, "exe", "dcomm2.exe");
    std::string setting;
    if (chosen && TransferPathSettingFor(*chosen, setting)) {
        ::SetDlgItemTextA(m_hWnd, IDC_TRANSFER_PATH, setting.c_str());
    }
}

void COptionsDlg::OnClickedOk() {
    m_settings = {ItemText(m_hWnd, IDC_HOST), ItemText(m_hWnd, IDC_CODES_PATH),
                  ItemText(m_hWnd, IDC_TRANSFER_PATH)};
    m_save(m_settings);
    OnOK();
}

}  // namespace

std::optional<Settings> RunOptionsDialog(HWND owner, const Settings& settings,
                                         const SettingsSaver& save) {
    COptionsDlg dialog(settings, save);
    if (dialog.DoModal(owner) != IDOK) {
        return std::nullopt;
    }
    return dialog.m_settings;
}
