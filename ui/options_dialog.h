// The Options dialog: the three settings in three edit boxes, with the
// transfer path filled by detection or by browsing. OK stores and saves them.
#pragma once

#include "framework/dialog.h"
#include "res/resource.h"

class COptionsDlg : public CDialog {
public:
    explicit COptionsDlg(CWnd* pParent = nullptr);

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    static const MessageMapEntry kMessageEntries[];
    static const MessageMap kMessageMap;
    const MessageMap& GetMessageMap() const override { return kMessageMap; }

private:
    void OnClickedOk();
    void OnBrowse();
    void OnAutoDetect();
};

inline const MessageMapEntry COptionsDlg::kMessageEntries[] = {
    OnClicked<IDOK, &COptionsDlg::OnClickedOk>(),
    OnClicked<IDC_BROWSE, &COptionsDlg::OnBrowse>(),
    OnClicked<IDC_AUTODETECT, &COptionsDlg::OnAutoDetect>(),
};
inline const MessageMap COptionsDlg::kMessageMap =
    MakeMessageMap(&CDialog::kMessageMap, kMessageEntries);

// Saves the three settings to config.txt; when the file cannot be written a
// message box says so (the settings in memory keep their values).
void SaveSettingsOrWarn();
