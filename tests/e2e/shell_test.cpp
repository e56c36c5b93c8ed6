// The application shell as a user meets it: the main window, its menu, the
// About box and the ways to close the program.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/e2e/program.h"
#include "tools/uidriver/driver.h"

namespace {

using e2e::ProgramUnderTest;

const char ABOUT_CAPTION[] = "About norvale";

// Converts dialog units to pixels the way the program's dialogs do: through
// a hidden dialog made from one of the program's own templates, which use
// the same font.
class DialogUnits {
public:
    explicit DialogUnits(const std::string& exePath)
        : m_module(::LoadLibraryExA(exePath.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE)) {
        if (m_module != nullptr) {
            m_dialog = ::CreateDialogParamA(m_module, MAKEINTRESOURCEA(IDD_ABOUTBOX), nullptr,
                                            &DialogUnits::Proc, 0);
        }
    }
    ~DialogUnits() {
        if (m_dialog != nullptr) {
            ::DestroyWindow(m_dialog);
        }
        if (m_module != nullptr) {
            ::FreeLibrary(m_module);
        }
    }
    DialogUnits(const DialogUnits&) = delete;
    DialogUnits& operator=(const DialogUnits&) = delete;

    bool Valid() const { return m_dialog != nullptr; }
    RECT ToPixels(int x, int y, int width, int height) const {
        RECT rect{x, y, x + width, y + height};
        ::MapDialogRect(m_dialog, &rect);
        return rect;
    }

private:
    static INT_PTR CALLBACK Proc(HWND, UINT, WPARAM, LPARAM) { return FALSE; }
    HMODULE m_module;
    HWND m_dialog = nullptr;
};

// The control's rectangle in the client coordinates of its dialog.
RECT ClientRectOf(HWND dialog, int id) {
    RECT rect{};
    ::GetWindowRect(::GetDlgItem(dialog, id), &rect);
    ::MapWindowPoints(nullptr, dialog, reinterpret_cast<POINT*>(&rect), 2);
    return rect;
}

void ExpectNear(const RECT& actual, const RECT& expected, const char* what) {
    constexpr LONG kTolerance = 1;
    EXPECT_NEAR(actual.left, expected.left, kTolerance) << what;
    EXPECT_NEAR(actual.top, expected.top, kTolerance) << what;
    EXPECT_NEAR(actual.right, expected.right, kTolerance) << what;
    EXPECT_NEAR(actual.bottom, expected.bottom, kTolerance) << what;
}

LONG StyleOf(HWND dialog, int id) {
    return ::GetWindowLongA(::GetDlgItem(dialog, id), GWL_STYLE);
}

// One menu item as the resources describe it: text and command id, or a
// separator, or a popup with its items.
struct MenuItem {
    std::string text;
    UINT id;
    std::vector<MenuItem> items;
    bool operator==(const MenuItem& other) const {
        return text == other.text && id == other.id && items == other.items;
    }
};

std::vector<MenuItem> ReadMenu(HMENU menu) {
    std::vector<MenuItem> items;
    const int count = ::GetMenuItemCount(menu);
    for (int i = 0; i < count; ++i) {
        char text[256] = {};
        MENUITEMINFOA info{};
        info.cbSize = sizeof info;
        info.fMask = MIIM_ID | MIIM_SUBMENU | MIIM_STRING | MIIM_FTYPE;
        info.dwTypeData = text;
        info.cch = sizeof text;
        ::GetMenuItemInfoA(menu, static_cast<UINT>(i), TRUE, &info);
        MenuItem item{text, info.hSubMenu != nullptr ? 0 : info.wID, {}};
        if (info.hSubMenu != nullptr) {
            item.items = ReadMenu(info.hSubMenu);
        }
        items.push_back(item);
    }
    return items;
}

// Without a settings file there is no host to fetch from, so the window
// opens not ready, with the start-up's failure text.
TEST(MainWindowTest, OpensWithItsLayoutAndTheStopIcon) {
    ProgramUnderTest program;
    ASSERT_TRUE(program.Start());
    HWND main = program.MainWindow();

    EXPECT_EQ(uidriver::GetText(main), "Tessaly");
    const DWORD style = static_cast<DWORD>(::GetWindowLongA(main, GWL_STYLE));
    const DWORD frame = WS_CAPTION | WS_SYSMENU | WS_MINIMIZEBOX | WS_POPUP;
    EXPECT_EQ(style & frame, frame);
    EXPECT_EQ(style & (WS_MAXIMIZEBOX | WS_THICKFRAME), 0u);
    EXPECT_TRUE(::GetWindowLongA(main, GWL_EXSTYLE) & WS_EX_APPWINDOW);
    EXPECT_NE(::GetMenu(main), nullptr);

    // The button along the bottom, the status box right of the icon.
    EXPECT_EQ(uidriver::GetControlText(main, IDC_UPDATE), "Update Building Codes");
    EXPECT_EQ(uidriver::GetClassName(::GetDlgItem(main, IDC_UPDATE)), "Button");
    EXPECT_EQ(StyleOf(main, IDC_UPDATE) & (BS_TYPEMASK | WS_TABSTOP),
              BS_DEFPUSHBUTTON | WS_TABSTOP);

    EXPECT_EQ(uidriver::GetControlText(main, IDC_STATUS), "Cannot retrieve codes file from WWW.");
    EXPECT_EQ(uidriver::GetClassName(::GetDlgItem(main, IDC_STATUS)), "Edit");
    const LONG statusStyle = StyleOf(main, IDC_STATUS);
    const LONG statusWanted =
        ES_MULTILINE | ES_READONLY | ES_AUTOVSCROLL | ES_AUTOHSCROLL | ES_WANTRETURN;
    EXPECT_EQ(statusStyle & statusWanted, statusWanted);
    EXPECT_EQ(statusStyle & (WS_BORDER | WS_TABSTOP), 0);
    EXPECT_TRUE(::GetWindowLongA(::GetDlgItem(main, IDC_STATUS), GWL_EXSTYLE) & WS_EX_TRANSPARENT);

    EXPECT_EQ(uidriver::GetClassName(::GetDlgItem(main, IDC_STATE_ICON)), "Static");
    EXPECT_EQ(static_cast<DWORD>(StyleOf(main, IDC_STATE_ICON)) & SS_TYPEMASK,
              static_cast<DWORD>(SS_ICON));

    DialogUnits units(program.ExePath());
    ASSERT_TRUE(units.Valid());
    RECT client{};
    ::GetClientRect(main, &client);
    ExpectNear(client, units.ToPixels(0, 0, 254, 55), "client area");
    ExpectNear(ClientRectOf(main, IDC_UPDATE), units.ToPixels(0, 32, 254, 20), "button");
    ExpectNear(ClientRectOf(main, IDC_STATUS), units.ToPixels(35, 1, 219, 31), "status box");
    const RECT icon = ClientRectOf(main, IDC_STATE_ICON);
    const RECT iconCell = units.ToPixels(8, 6, 20, 20);
    EXPECT_EQ(icon.left, iconCell.left);
    EXPECT_EQ(icon.top, iconCell.top);

    EXPECT_TRUE(program.WaitForStateIcon(IDI_NOT_READY));
    EXPECT_EQ(uidriver::FocusedWindow(main), ::GetDlgItem(main, IDC_UPDATE));
}

TEST(MainWindowTest, MenuHoldsEveryCommandWithItsId) {
    ProgramUnderTest program;
    HMODULE module = ::LoadLibraryExA(program.ExePath().c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr);
    HMENU menu = ::LoadMenuA(module, MAKEINTRESOURCEA(IDR_MAIN_MENU));
    ASSERT_NE(menu, nullptr);
    const std::vector<MenuItem> expected{
        {"&File",
         0,
         {{"&Retrieve From Web", ID_FILE_RETRIEVE, {}},
          {"&Open Codes File", ID_FILE_OPEN_CODES, {}},
          {"&Save Codes File", ID_FILE_SAVE_CODES, {}},
          {"", 0, {}},
          {"E&xit", ID_FILE_EXIT, {}}}},
        {"&Configure", 0, {{"&Options", ID_CONFIGURE_OPTIONS, {}}}},
        {"&Help", 0, {{"&About Tessaly", ID_HELP_ABOUT, {}}}},
    };
    EXPECT_TRUE(ReadMenu(menu) == expected);
    ::DestroyMenu(menu);

    char aboutItem[64] = {};
    ::LoadStringA(module, IDS_ABOUTBOX, aboutItem, sizeof aboutItem);
    EXPECT_STREQ(aboutItem, "&About norvale...");
    ::FreeLibrary(module);
}

// Opens the About box with `open`, checks it, and closes it with its button.
template <class Open>
void ExpectAboutBoxOpensAndCloses(const ProgramUnderTest& program, Open open) {
    open();
    HWND about = program.WaitForWindow(ABOUT_CAPTION);
    ASSERT_NE(about, nullptr);
    EXPECT_EQ(::GetWindow(about, GW_OWNER), program.MainWindow());
    EXPECT_NE(uidriver::GetControlText(about, IDOK), "");
    ASSERT_TRUE(uidriver::ClickButton(about, IDOK));
    EXPECT_TRUE(uidriver::WaitForWindowGone(about));
}

TEST(AboutBoxTest, OpensFromTheHelpMenuAndFromSystemCommands) {
    ProgramUnderTest program;
    ASSERT_TRUE(program.Start());
    HWND main = program.MainWindow();
    ExpectAboutBoxOpensAndCloses(program, [&] { uidriver::PostMenuCommand(main, ID_HELP_ABOUT); });
    // The system command is masked with 0xFFF0: 0x0010 to 0x001F all mean About.
    ExpectAboutBoxOpensAndCloses(program, [&] { uidriver::PostSysCommand(main, IDM_ABOUTBOX); });
    ExpectAboutBoxOpensAndCloses(program, [&] { uidriver::PostSysCommand(main, 0x001F); });
}

TEST(AboutBoxTest, OtherSystemCommandsDoNotOpenIt) {
    ProgramUnderTest program;
    ASSERT_TRUE(program.Start());
    // Sent, not posted: it returns only once the window has handled it, and
    // would not return in time if it opened a modal box.
    DWORD_PTR result = 0;
    ASSERT_TRUE(::SendMessageTimeoutA(program.MainWindow(), WM_SYSCOMMAND, 0x0020, 0,
                                      SMTO_ABORTIFHUNG, uidriver::kSendTimeoutMs, &result));
    EXPECT_EQ(uidriver::FindTopWindow(ABOUT_CAPTION, program.ProcessId()), nullptr);
}

// Each way of closing the main window ends the process.
TEST(CloseTest, ExitMenuEscapeAndCloseBoxEachEndTheProgram) {
    const std::vector<std::pair<const char*, void (*)(HWND)>> ways{
        {"File > Exit", [](HWND main) { uidriver::PostMenuCommand(main, ID_FILE_EXIT); }},
        {"Escape", [](HWND main) { uidriver::PressKey(uidriver::FocusedWindow(main), VK_ESCAPE); }},
        {"close box", [](HWND main) { uidriver::PostSysCommand(main, SC_CLOSE); }},
    };
    for (const auto& [name, close] : ways) {
        SCOPED_TRACE(name);
        ProgramUnderTest program;
        ASSERT_TRUE(program.Start());
        close(program.MainWindow());
        DWORD exitCode = 1;
        ASSERT_TRUE(program.WaitForExit(exitCode));
        EXPECT_EQ(exitCode, 0u);
    }
}

}  // namespace
