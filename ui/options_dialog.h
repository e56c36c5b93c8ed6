// The Options dialog: the three settings in three edit boxes, with the
// transfer path filled by detection or by browsing. OK stores and saves them.
#pragma once

#include <string>

#include "framework/dialog.h"
#include "settings/settings.h"

class COptionsDlg : public CDialog {
public:
    // `settingsFile`: the full path of config.txt, where OK saves them.
    COptionsDlg(const SettingsRefs& settings, const std::string& settingsFile,
                CWnd* pParent = nullptr);

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    DECLARE_MESSAGE_MAP()

    void OnClickedOk();
    void OnBrowse();
    void OnAutoDetect();

    SettingsRefs m_settings;
    const std::string& m_settingsFile;
};

// Saves the settings to config.txt at `path`; when the file cannot be written
// a message box says so (the settings in memory keep their values).
void SaveSettingsOrWarn(const SettingsRefs& settings, const std::string& path);
