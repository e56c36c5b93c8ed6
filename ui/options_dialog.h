// The Options dialog: the three settings in three edit boxes, with the
// transfer path filled by detection or by browsing. OK stores and saves them.
#pragma once

#include "framework/dialog.h"
#include "settings/settings.h"

class COptionsDlg : public CDialog {
public:
    explicit COptionsDlg(const SettingsRefs& settings, CWnd* pParent = nullptr);

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    DECLARE_MESSAGE_MAP()

    void OnClickedOk();
    void OnBrowse();
    void OnAutoDetect();

    SettingsRefs m_settings;
};

// Saves the settings to config.txt; when the file cannot be written a message
// box says so (the settings in memory keep their values).
void SaveSettingsOrWarn(const SettingsRefs& settings);
