// The dialog base and the wait for work: a real modal dialog of
// framework_test.rc, which runs the step a test gives it once it has opened.
#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>
#include <string>

#include "framework/dialog.h"
#include "framework/wait.h"

namespace {

constexpr UINT TEMPLATE_ID = 1, GO_BUTTON = 1001, FAIL_COMMAND = 1002, DRAG_ICON = 0x1234;

// Every 50 ms: closes the message box the program opened (its caption is the
// program's name), keeping its text, then the dialog with OK. A dialog still
// open after ten seconds ends with -1, so that a test never hangs.
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
        ::PostMessageA(dialog, WM_COMMAND, IDOK, 0);
    }
}

struct CProbeDlg : CDialog {
    explicit CProbeDlg(std::function<void(HWND)> step)
        : CDialog(TEMPLATE_ID), m_step(std::move(step)) {}
    BOOL OnInitDialog() override {
        m_step(m_hWnd);
        return TRUE;
    }
    void OnGo() { ++clicks; }
    void OnFail() { throw std::runtime_error("go failed"); }
    // Takes no system command: Close is then the system's, which cancels.
    bool OnSysCommand(UINT, LPARAM) { return false; }
    HICON OnQueryDragIcon() { return reinterpret_cast<HICON>(static_cast<UINT_PTR>(DRAG_ICON)); }

    static const MessageMap kMessageMap;
    const MessageMap& GetMessageMap() const override { return kMessageMap; }
    std::function<void(HWND)> m_step;
    int clicks = 0;
};

const MessageMap CProbeDlg::kMessageMap = {
    OnClicked(GO_BUTTON, &CProbeDlg::OnGo),
    OnCommand(FAIL_COMMAND, &CProbeDlg::OnFail),
    OnMessage(WM_SYSCOMMAND, &CProbeDlg::OnSysCommand),
    OnMessage(WM_QUERYDRAGICON, &CProbeDlg::OnQueryDragIcon),
};

TEST(Dialog, OnlyAClickRunsTheClickHandler) {
    CProbeDlg dialog([](HWND self) {
        ::SendMessageA(self, WM_COMMAND, MAKEWPARAM(GO_BUTTON, BN_SETFOCUS), 0);
        ::SendMessageA(self, WM_COMMAND, MAKEWPARAM(GO_BUTTON, BN_CLICKED), 0);
        ::EndDialog(self, IDOK);
    });
    dialog.DoModal();
    EXPECT_EQ(dialog.clicks, 1);
}

TEST(Dialog, DragIconIsTheMessagesOwnResult) {
    CProbeDlg dialog([](HWND self) {
        EXPECT_EQ(::SendMessageA(self, WM_QUERYDRAGICON, 0, 0), static_cast<LRESULT>(DRAG_ICON));
        ::EndDialog(self, IDOK);
    });
    dialog.DoModal();
}

TEST(Dialog, MessageLeftByItsHandlerGetsDefaultProcessing) {
    CProbeDlg dialog([](HWND self) { ::PostMessageA(self, WM_SYSCOMMAND, SC_CLOSE, 0); });
    EXPECT_EQ(dialog.DoModal(), IDCANCEL);
}

TEST(Dialog, HandlerThatThrowsIsNamedInAMessageBox) {
    CProbeDlg dialog([](HWND self) {
        ::PostMessageA(self, WM_COMMAND, FAIL_COMMAND, 0);
        ::SetTimer(self, 1, 50, &CloseMessageBoxThenDialog);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_EQ(g_messageBoxText, "The command failed unexpectedly:\r\ngo failed");
}

// The work asks the window a question and gives it a command, as another
// program may: the answer comes at once, the command runs after the work.
TEST(Wait, WindowAnswersWhileTheWorkRunsAndTakesACommandAfterIt) {
    bool answered = false;
    int clicksDuringWork = -1;
    CProbeDlg dialog([&](HWND self) {
        AfxWaitForWork([&] {
            DWORD_PTR result = 0;
            answered = ::SendMessageTimeoutA(self, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &result) != 0;
            ::SendMessageTimeoutA(self, WM_COMMAND, MAKEWPARAM(GO_BUTTON, BN_CLICKED), 0,
                                  SMTO_NORMAL, 5000, &result);
            clicksDuringWork = dialog.clicks;
        });
        ::PostMessageA(self, WM_COMMAND, IDOK, 0);
    });
    EXPECT_EQ(dialog.DoModal(), IDOK);
    EXPECT_TRUE(answered);
    EXPECT_EQ(clicksDuringWork, 0);
    EXPECT_EQ(dialog.clicks, 1);
}

}  // namespace
