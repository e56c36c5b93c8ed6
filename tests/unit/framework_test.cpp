#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "framework/dialog.h"

namespace {

// The dialog template of framework_test.rc and its button; a drag icon handle.
constexpr UINT TEMPLATE_ID = 1, GO_BUTTON = 1001, DRAG_ICON = 0x1234;

// Called every 50 ms: keeps the text of the message box the program opens
// (its caption is the program's name) and closes it, then the dialog with OK.
// A dialog still open after ten seconds is ended, so that a test never hangs.
std::string g_messageBoxText;
void CALLBACK CloseMessageBoxThenDialog(HWND dialog, UINT, UINT_PTR, DWORD) {
    static int ticks = 0;
    if (++ticks > 200) {
        ::EndDialog(dialog, -1);
    }
    if (HWND box = ::FindWindowA("#32770", "framework_test")) {
        g_messageBoxText.resize(256);
        g_messageBoxText.resize(::GetDlgItemTextA(box, 0xFFFF, &g_messageBoxText[0], 256));
        ::PostMessageA(box, WM_COMMAND, IDOK, 0);
        ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    }
}

// Run modally: asks itself for its drag icon, sends its button a notification
// other than a click and then a click, and posts a system command (Close) whose
// handler fails, naming the command it was given.
struct CRecordDlg : CDialog {
    CRecordDlg() : CDialog(TEMPLATE_ID, nullptr) {}

    void OnGo() { ++clicks; }
    void OnSysCommand(UINT id, LPARAM) { throw std::runtime_error(std::to_string(id)); }
    HICON OnQueryDragIcon() { return reinterpret_cast<HICON>(static_cast<UINT_PTR>(DRAG_ICON)); }
    BOOL OnInitDialog() override {
        dragIcon = static_cast<UINT>(SendMessage(WM_QUERYDRAGICON));
        SendMessage(WM_COMMAND, MAKEWPARAM(GO_BUTTON, BN_SETFOCUS));
        SendMessage(WM_COMMAND, MAKEWPARAM(GO_BUTTON, BN_CLICKED));
        ::PostMessageA(m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        ::SetTimer(m_hWnd, 1, 50, &CloseMessageBoxThenDialog);
        return TRUE;
    }

    UINT clicks = 0, dragIcon = 0;

    DECLARE_MESSAGE_MAP()
};

const MessageMapEntry CRecordDlg::kMessageEntries[] = {
    OnMessage<WM_QUERYDRAGICON, &CRecordDlg::OnQueryDragIcon>(),
    OnClicked<GO_BUTTON, &CRecordDlg::OnGo>(),
    OnMessage<WM_SYSCOMMAND, &CRecordDlg::OnSysCommand>(),
};
const MessageMap CRecordDlg::kMessageMap = MakeMessageMap(&CDialog::kMessageMap, kMessageEntries);

TEST(Dialog, ModalDialogRunsItsHandlersAndOutlivesOneThatFails) {
    CRecordDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(g_messageBoxText, "The command failed unexpectedly:\r\n" + std::to_string(SC_CLOSE));
    EXPECT_EQ(dlg.dragIcon, DRAG_ICON);  // the result itself, not TRUE
    EXPECT_EQ(dlg.clicks, 1u);           // not for the notification that is no click
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

}  // namespace
