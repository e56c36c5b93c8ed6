// The main window: menu, status icon, status box and the update button. Its
// handlers run the dialogs a command needs and hand the outcome to the
// workflow core, which owns the readiness state and decides what shows.
#pragma once

#include <functional>
#include <string>

#include "framework/dialog.h"
#include "settings/settings.h"
#include "workflow/loader_core.h"

class CFetchClient;
class CHttpsClient;

class CLoaderDlg : public CDialog, private LoaderView {
public:
    CLoaderDlg(const SettingsRefs& settings, CFetchClient& fetchClient, CHttpsClient& httpsClient,
               CWnd* pParent = nullptr);

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    DECLARE_MESSAGE_MAP()

    // The two view operations the core uses.
    void SetStatusText(const std::string& text) override;
    void ShowStateIcon(StateIcon icon) override;

    void OnSysCommand(UINT nID, LPARAM lParam);
    void OnDestroy();
    void OnPaint();
    HICON OnQueryDragIcon();
    void OnAbout();
    void OnRetrieveFromWeb();
    void OnOpenCodesFile();
    void OnSaveCodesFile();
    void OnOptions();
    void OnUpdateBuildingCodes();
    void OnStartUpFetch();

    // Runs a workflow that blocks the window: a fetch or the update.
    void WhileBusy(const std::function<void()>& work);
    // Enables or disables the update button and the menu.
    void EnableCommands(bool enable);
    // Drops the mouse and keyboard input waiting in the queue.
    void DropUserInput();

    // The path chosen in an Open (`open`) or Save dialog for codes files;
    // false when the user cancelled.
    bool ChooseCodesFile(bool open, std::string& path);

    SettingsRefs m_settings;
    HICON m_hIcon;
    HICON m_hIconNotReady;
    HICON m_hIconReady;
    CStatic m_stateIcon;
    // config.txt in the folder the program started in.
    const std::string m_settingsFile;
    CLoaderCore m_core;
};
