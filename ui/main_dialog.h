// The main window: menu, status icon, status box and the update button. It
// owns the readiness flag and runs each user workflow from its handlers.
#pragma once

#include <cstdint>
#include <string>

#include "framework/dialog.h"
#include "res/resource.h"

class CLoaderDlg : public CDialog {
public:
    explicit CLoaderDlg(CWnd* pParent = nullptr);

    BOOL OnInitDialog() override;
    void DoDataExchange(CDataExchange* pDX) override;

    // The two view operations every workflow uses.
    void SetStatusText(const std::string& text) const;
    void ShowStateIcon(HICON hIcon) const;

    static const MessageMapEntry kMessageEntries[];
    static const MessageMap kMessageMap;
    const MessageMap& GetMessageMap() const override { return kMessageMap; }

private:
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

    // Fetches the codes file into the working copy and shows the outcome:
    // on success the retrieval's message and the ready state; otherwise
    // `failureText` (or the text naming a working copy that could not be
    // written) and the not-ready state.
    void RetrieveAndShow(const char* failureText);
    // Shows the missing-utility text and the not-ready state.
    void ShowMissingUtility();

    HICON m_hIcon;
    HICON m_hIconNotReady;
    HICON m_hIconReady;
    // 0: the working copy is ready for the update; -1: not ready.
    std::int32_t m_nCodesState = kNotReady;
    CStatic m_stateIcon;

    static constexpr std::int32_t kReady = 0;
    static constexpr std::int32_t kNotReady = -1;
};

inline const MessageMapEntry CLoaderDlg::kMessageEntries[] = {
    OnMessage<WM_SYSCOMMAND, &CLoaderDlg::OnSysCommand>(),
    OnMessage<WM_DESTROY, &CLoaderDlg::OnDestroy>(),
    OnMessage<WM_PAINT, &CLoaderDlg::OnPaint>(),
    OnMessage<WM_QUERYDRAGICON, &CLoaderDlg::OnQueryDragIcon>(),
    OnCommand<ID_FILE_RETRIEVE, &CLoaderDlg::OnRetrieveFromWeb>(),
    OnCommand<ID_FILE_OPEN_CODES, &CLoaderDlg::OnOpenCodesFile>(),
    OnCommand<ID_FILE_SAVE_CODES, &CLoaderDlg::OnSaveCodesFile>(),
    OnCommand<ID_FILE_EXIT, &CDialog::OnCancel>(),
    OnCommand<ID_HELP_ABOUT, &CLoaderDlg::OnAbout>(),
    OnCommand<ID_CONFIGURE_OPTIONS, &CLoaderDlg::OnOptions>(),
    OnClicked<IDC_UPDATE, &CLoaderDlg::OnUpdateBuildingCodes>(),
};
inline const MessageMap CLoaderDlg::kMessageMap =
    MakeMessageMap(&CDialog::kMessageMap, kMessageEntries);
