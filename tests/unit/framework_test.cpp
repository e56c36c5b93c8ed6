#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "framework/dialog.h"

namespace {

constexpr UINT kTemplateId = 1;
constexpr UINT kGoButton = 1001;
constexpr UINT kEdit = 1002;
constexpr UINT kMenuCommand = 40001;

// A dialog that records which handlers ran and with what.
class CRecordingDlg : public CDialog {
public:
    CRecordingDlg() : CDialog(kTemplateId, nullptr) {}

    std::vector<std::string> calls;
    UINT sysCommandId = 0;
    bool wantDefaultSysCommand = false;
    HICON dragIcon = reinterpret_cast<HICON>(static_cast<INT_PTR>(0x1234));

    void OnGo() { calls.push_back("go"); }
    void OnMenu() { calls.push_back("menu"); }
    void OnSysCommand(UINT nID, LPARAM) {
        calls.push_back("syscommand");
        sysCommandId = nID;
        if (wantDefaultSysCommand) {
            CDialog::OnSysCommand(nID, 0);
        }
    }
    HICON OnQueryDragIcon() { return dragIcon; }

    static const MessageMapEntry kMessageEntries[];
    static const MessageMap kMessageMap;
    const MessageMap& GetMessageMap() const override { return kMessageMap; }
};

inline const MessageMapEntry CRecordingDlg::kMessageEntries[] = {
    OnMessage<WM_SYSCOMMAND, &CRecordingDlg::OnSysCommand>(),
    OnMessage<WM_QUERYDRAGICON, &CRecordingDlg::OnQueryDragIcon>(),
    OnCommand<kMenuCommand, &CRecordingDlg::OnMenu>(),
    OnClicked<kGoButton, &CRecordingDlg::OnGo>(),
    OnCommand<IDCANCEL, &CRecordingDlg::OnMenu>(),
};
inline const MessageMap CRecordingDlg::kMessageMap =
    MakeMessageMap(&CDialog::kMessageMap, kMessageEntries);

TEST(MessageMapTest, CommandsMatchOnIdAndNotificationCode) {
    CRecordingDlg dlg;
    LRESULT result = 0;
    EXPECT_TRUE(dlg.Dispatch(WM_COMMAND, MAKEWPARAM(kGoButton, BN_CLICKED), 0, result));
    EXPECT_TRUE(dlg.Dispatch(WM_COMMAND, MAKEWPARAM(kMenuCommand, 0), 0, result));
    // An edit control's notification carries the control's id but another code.
    EXPECT_FALSE(dlg.Dispatch(WM_COMMAND, MAKEWPARAM(kGoButton, EN_CHANGE), 0, result));
    EXPECT_FALSE(dlg.Dispatch(WM_COMMAND, MAKEWPARAM(kEdit, 0), 0, result));
    EXPECT_EQ(dlg.calls, (std::vector<std::string>{"go", "menu"}));
}

TEST(MessageMapTest, DerivedEntriesComeBeforeTheBaseMap) {
    const MessageMapEntry* cancel =
        FindMessageEntry(CRecordingDlg::kMessageMap, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0));
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel, &CRecordingDlg::kMessageEntries[4]);
    // IDOK is not in the derived table, so the base map's entry answers.
    const MessageMapEntry* ok =
        FindMessageEntry(CRecordingDlg::kMessageMap, WM_COMMAND, MAKEWPARAM(IDOK, 0));
    ASSERT_NE(ok, nullptr);
    EXPECT_EQ(ok, &CDialog::kMessageEntries[0]);
    EXPECT_EQ(FindMessageEntry(CRecordingDlg::kMessageMap, WM_PAINT, 0), nullptr);
}

TEST(MessageMapTest, HandlersReceiveArgumentsAndReturnValues) {
    CRecordingDlg dlg;
    LRESULT result = 0;
    EXPECT_TRUE(dlg.Dispatch(WM_SYSCOMMAND, 0x001F, 0, result));
    EXPECT_EQ(dlg.sysCommandId, 0x001Fu);
    EXPECT_TRUE(dlg.Dispatch(WM_QUERYDRAGICON, 0, 0, result));
    EXPECT_EQ(reinterpret_cast<HICON>(result), dlg.dragIcon);
}

TEST(MessageMapTest, DefaultRequestLeavesTheMessageUnhandled) {
    CRecordingDlg dlg;
    LRESULT result = 0;
    dlg.wantDefaultSysCommand = true;
    EXPECT_FALSE(dlg.Dispatch(WM_SYSCOMMAND, SC_MINIMIZE, 0, result));
    EXPECT_EQ(dlg.calls, std::vector<std::string>{"syscommand"});
    // The request holds for one message only.
    dlg.wantDefaultSysCommand = false;
    EXPECT_TRUE(dlg.Dispatch(WM_SYSCOMMAND, SC_MINIMIZE, 0, result));
}

// A real modal dialog: messages sent to the window reach the handlers
// through the dialog procedure, and EndDialog's result comes back from DoModal.
class CModalDlg : public CRecordingDlg {
public:
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        initialised = true;
        dragIconSeen = reinterpret_cast<HICON>(SendMessage(WM_QUERYDRAGICON));
        SendMessage(WM_COMMAND, MAKEWPARAM(kGoButton, BN_CLICKED),
                    reinterpret_cast<LPARAM>(GetDlgItem(kGoButton).m_hWnd));
        GetDlgItem(kEdit).SetWindowText("typed text");
        GetDlgItem(kEdit).GetWindowText(editText);
        ::PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
        return TRUE;
    }
    bool initialised = false;
    HICON dragIconSeen = nullptr;
    std::string editText;
};

TEST(DialogTest, ModalDialogDispatchesThroughItsMessageMap) {
    CModalDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_TRUE(dlg.initialised);
    EXPECT_EQ(dlg.dragIconSeen, dlg.dragIcon);
    EXPECT_EQ(dlg.calls, std::vector<std::string>{"go"});
    EXPECT_EQ(dlg.editText, "typed text");
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

}  // namespace
