// The main window: menu, status icon, status box and the update button. Its
// handlers run the dialogs a command needs and hand the outcome to the
// workflow core, which owns the readiness state and decides what shows.
#pragma once

#include <string>

#include "framework/dialog.h"
#include "settings/settings.h"
#include "workflow/loader_core.h"

class CLoaderDlg : public CDialog, private LoaderView {
public:
    CLoaderDlg(Settings& settings, LoaderEnvironment environment);

private:
    static const MessageMap kMessageMap;
    const MessageMap& GetMessageMap() const override { return kMessageMap; }

    BOOL OnInitDialog() override;
    bool OnSysCommand(UINT nID, LPARAM lParam);
    bool OnDestroy();
    bool OnPaint();
    HICON OnQueryDragIcon();
    void OnStartUpFetch();
    void OnRetrieveFromWeb();
    void OnOpenCodesFile();
    void OnSaveCodesFile();
    void OnAbout();
    void OnOptions();
    void OnUpdateBuildingCodes();

    // What the core shows.
    void SetStatusText(const std::string& text) override;
    void ShowStateIcon(CodesState state) override;
    void EnableCommands(bool enable) override;
    void ShowWarning(const std::string& text) override;

    HICON m_hIcon;
    HICON m_hIconNotReady;
    HICON m_hIconReady;
    // The control that had the keyboard focus when the commands went off.
    HWND m_hFocus = nullptr;
    CLoaderCore m_core;
};
