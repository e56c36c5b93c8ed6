#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "framework/dialog.h"

namespace {

// The dialog template of framework_test.rc and its button.
constexpr UINT TEMPLATE_ID = 1;
constexpr UINT GO_BUTTON = 1001;
constexpr UINT FAILING_COMMAND = 1002;
constexpr UINT_PTR STUCK_TIMER = 1, MESSAGE_BOX_TIMER = 2;

// Ends a dialog that is still open after its time, so that a test never hangs.
void CALLBACK EndStuckDialog(HWND dialog, UINT, UINT_PTR, DWORD) {
    ::EndDialog(dialog, -1);
}

// Keeps the text of the message box open over `dialog` and closes it, then
// ends the dialog with OK.
std::string g_messageBoxText;
BOOL CALLBACK FindOtherWindow(HWND window, LPARAM found) {
    auto* other = reinterpret_cast<HWND*>(found);
    if (window == *other || !::IsWindowVisible(window)) {
        return TRUE;
    }
    *other = window;
    return FALSE;
}
void CALLBACK CloseMessageBoxThenDialog(HWND dialog, UINT, UINT_PTR timer, DWORD) {
    HWND box = dialog;
    ::EnumThreadWindows(::GetCurrentThreadId(), &FindOtherWindow, reinterpret_cast<LPARAM>(&box));
    if (box == dialog) {
        return;
    }
    ::KillTimer(dialog, timer);
    char text[256] = {};
    ::GetDlgItemTextA(box, 0xFFFF, text, sizeof text);
    g_messageBoxText = text;
    ::PostMessageA(box, WM_COMMAND, IDOK, 0);
    ::PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
}

// Records which handlers ran, with their arguments.
class CRecordingDlg : public CDialog {
public:
    CRecordingDlg() : CDialog(TEMPLATE_ID, nullptr) {}

    void OnGo() { calls += "go;"; }
    void OnFailingCommand() { throw std::runtime_error("disk on fire"); }
    void OnCancelCommand() { calls += "cancel;"; }
    void OnSysCommand(UINT id, LPARAM) {
        calls += "syscommand " + std::to_string(id) + ";";
        if (id == SC_MINIMIZE) {
            Default();
        }
    }
    HICON OnQueryDragIcon() { return dragIcon; }

    // Run modally: sends itself two messages and posts a command whose
    // handler fails; the message box that says so is closed, then the dialog.
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        dragIconSeen = reinterpret_cast<HICON>(SendMessage(WM_QUERYDRAGICON));
        SendMessage(WM_COMMAND, MAKEWPARAM(GO_BUTTON, BN_CLICKED));
        ::PostMessageA(m_hWnd, WM_COMMAND, MAKEWPARAM(FAILING_COMMAND, 0), 0);
        ::SetTimer(m_hWnd, MESSAGE_BOX_TIMER, 100, &CloseMessageBoxThenDialog);
        ::SetTimer(m_hWnd, STUCK_TIMER, 10000, &EndStuckDialog);
        return TRUE;
    }

    std::string calls;
    const HICON dragIcon = reinterpret_cast<HICON>(static_cast<INT_PTR>(0x1234));
    HICON dragIconSeen = nullptr;

    static const MessageMapEntry kMessageEntries[];
    static const MessageMap kMessageMap;
    const MessageMap& GetMessageMap() const override { return kMessageMap; }
};

inline const MessageMapEntry CRecordingDlg::kMessageEntries[] = {
    OnMessage<WM_SYSCOMMAND, &CRecordingDlg::OnSysCommand>(),
    OnMessage<WM_QUERYDRAGICON, &CRecordingDlg::OnQueryDragIcon>(),
    OnClicked<GO_BUTTON, &CRecordingDlg::OnGo>(),
    OnCommand<FAILING_COMMAND, &CRecordingDlg::OnFailingCommand>(),
    OnCommand<IDCANCEL, &CRecordingDlg::OnCancelCommand>(),  // comes before the base map's
};
inline const MessageMap CRecordingDlg::kMessageMap =
    MakeMessageMap(&CDialog::kMessageMap, kMessageEntries);

TEST(MessageMap, DispatchFindsTheHandlerByMessageIdAndCodeDerivedEntriesFirst) {
    const struct {
        UINT message;
        WPARAM wParam;
        bool handled;
        const char* calls;
    } cases[] = {
        {WM_COMMAND, MAKEWPARAM(GO_BUTTON, BN_CLICKED), true, "go;"},
        {WM_COMMAND, MAKEWPARAM(GO_BUTTON, EN_CHANGE), false, ""},
        {WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), true, "cancel;"},
        {WM_COMMAND, MAKEWPARAM(IDOK, 0), true, ""},  // the base map's OnOK, no window to end
        {WM_SYSCOMMAND, SC_MINIMIZE, false, "syscommand 61472;"},  // asked for Default()
        {WM_SYSCOMMAND, SC_CLOSE, true, "syscommand 61536;"},
    };
    CRecordingDlg dlg;
    for (const auto& row : cases) {
        SCOPED_TRACE(testing::Message() << row.message << " " << row.wParam);
        dlg.calls.clear();
        LRESULT result = 0;
        EXPECT_EQ(dlg.Dispatch(row.message, row.wParam, 0, result), row.handled);
        EXPECT_EQ(dlg.calls, row.calls);
    }
}

TEST(Dialog, ModalDialogRunsItsHandlersAndOutlivesOneThatFails) {
    CRecordingDlg dlg;
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_EQ(g_messageBoxText, "The command failed unexpectedly:\r\ndisk on fire");
    EXPECT_EQ(dlg.dragIconSeen, dlg.dragIcon);
    EXPECT_EQ(dlg.calls, "go;");
    EXPECT_EQ(dlg.m_hWnd, nullptr);
}

}  // namespace
