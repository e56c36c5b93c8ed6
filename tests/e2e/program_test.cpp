// The real Norvale.exe under Wine, against nginx and the stand-in transfer
// utility. Each test is one start of the program that proves a part of its
// wiring: what the window shows, the files it writes byte for byte, the
// programs it runs.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "res/resource.h"
#include "tests/support/temp_folder.h"
#include "tools/uidriver/driver.h"

namespace {

using test_support::ReadBytes;
using test_support::WriteBytes;
using uidriver::Program;

const std::string E2E = uidriver::ToWindowsPath(NORVALE_E2E_DIR) + "\\";
const std::string EXE = uidriver::ToWindowsPath(NORVALE_EXE_PATH);
const char CODES[] = "2026-12-01 Building codes\nA100 Foundations\nB200 Framing\n";
const char CODES_ON_DISK[] = "2026-12-01 Building codes\r\nA100 Foundations\r\nB200 Framing\r\n";
const char CODES_DATE[] = "2026-12-01 Building codes";
const char TRANSFER_PATH[] = "C:\\Tools\\dcomm2.exe";

std::string Config(const std::string& host, const std::string& path, const std::string& transfer) {
    return host + "\r\n" + path + "\r\n" + transfer + "\r\n";
}

std::string Retrieved(const std::string& host, const std::string& date) {
    return "File retrieved from " + host + ".\r\nCurrent Building Code date: " + date +
           "\r\nReady to perform update.";
}

// The stand-in utility at its usual place on `drive` for one test; it
// "loads the handheld" into a folder handheld beside itself.
struct InstalledUtility {
    explicit InstalledUtility(char drive)
        : folder(std::string(1, drive) + ":\\Program Files\\Dolphin File Transfer\\") {
        std::error_code error;
        std::filesystem::remove_all(folder, error);
        std::filesystem::create_directories(folder, error);
        std::filesystem::copy_file(uidriver::ToWindowsPath(NORVALE_FAKE_DCOMM2_PATH), Path(),
                                   error);
    }
    ~InstalledUtility() {
        std::error_code error;
        std::filesystem::remove_all(folder, error);
    }
    std::string Path() const { return folder + "dcomm2.exe"; }
    std::string folder;
};

// A file held open with no sharing, as another program may hold it.
struct HeldOpen {
    explicit HeldOpen(const std::string& path)
        : handle(::CreateFileA(path.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                               FILE_ATTRIBUTE_NORMAL, nullptr)) {}
    ~HeldOpen() {
        if (handle != INVALID_HANDLE_VALUE) {
            ::CloseHandle(handle);
        }
    }
    HeldOpen(const HeldOpen&) = delete;
    HeldOpen& operator=(const HeldOpen&) = delete;
    HANDLE handle;
};

// The web server's address, and files it serves.
class ProgramTest : public testing::Test {
protected:
    void SetUp() override { ASSERT_FALSE(host.empty()); }
    static void Serve(const std::string& name, const std::string& bytes) {
        ASSERT_TRUE(WriteBytes(E2E + "www\\" + name, bytes));
    }
    static std::string Folder(const std::string& name) { return E2E + "work\\" + name + "\\"; }

    const std::string host = ReadBytes(E2E + "server\\address");
};

TEST_F(ProgramTest, DetectsTheUtilityFetchesAndLoadsTheHandheldThroughUpdateBat) {
    Serve("codes.dat", CODES);
    InstalledUtility onD('D');
    InstalledUtility onC('C');
    // The command interpreter would take %OS% for a variable.
    Program program(EXE, Folder("update 100%OS%"));
    ASSERT_TRUE(WriteBytes(program.Folder() + "config.txt",
                           Config(host, "/codes.dat", "Autodetect Failed.")));
    ASSERT_TRUE(program.Start());

    // Drive D: is looked at first.
    EXPECT_EQ(ReadBytes(program.Folder() + "config.txt"), Config(host, "/codes.dat", onD.Path()));
    EXPECT_EQ(program.Status(), Retrieved(host, CODES_DATE));
    EXPECT_TRUE(program.WaitForStateIcon(IDI_READY));
    const std::string copy = program.Folder() + "temp\\CODES.DAT";
    EXPECT_EQ(ReadBytes(copy), CODES_ON_DISK);

    // The click returns once the utility has ended.
    ASSERT_TRUE(uidriver::ClickButtonAndWait(program.Window(), IDC_UPDATE));
    EXPECT_EQ(ReadBytes(program.Folder() + "update.bat"), "\"" + onD.Path() + "\" /b=57600 \"" +
                                                              Folder("update 100%%OS%%") +
                                                              "temp\\CODES.DAT\"\r\n");
    EXPECT_EQ(ReadBytes(onD.folder + "handheld\\dcomm2-command-line.txt"),
              "\"" + onD.Path() + "\" /b=57600 \"" + copy + "\"");
    EXPECT_EQ(ReadBytes(onD.folder + "handheld\\CODES.DAT"), CODES_ON_DISK);
    EXPECT_FALSE(test_support::Exists(onC.folder + "handheld"));
    EXPECT_EQ(program.Status(), Retrieved(host, CODES_DATE));

    // A double click loads the handheld once: the second click, queued while
    // the utility ran, is dropped. The About box, asked for after both, opens
    // only once both clicks have been handled.
    ASSERT_TRUE(uidriver::PostMouseClick(program.Window(), IDC_UPDATE));
    ASSERT_TRUE(uidriver::PostMouseClick(program.Window(), IDC_UPDATE));
    HWND about = program.OpenDialog(ID_HELP_ABOUT);
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(program.CloseDialog(about, IDOK));
    EXPECT_EQ(ReadBytes(onD.folder + "handheld\\runs.txt"), "run\r\nrun\r\n");
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(program.Window(), IDC_UPDATE)));

    // A transfer that fails is said; the codes stay ready.
    ASSERT_TRUE(WriteBytes(onD.folder + "exit-status.txt", "3"));
    ASSERT_TRUE(uidriver::ClickButtonAndWait(program.Window(), IDC_UPDATE));
    EXPECT_EQ(program.Status(),
              "Update Building Codes failed.\r\nThe transfer utility ended with code 3.");
    EXPECT_TRUE(program.WaitForStateIcon(IDI_READY));
}

TEST_F(ProgramTest, WindowOpensAtOnceWhileASilentServerHoldsTheFetch) {
    WSADATA data;
    ASSERT_EQ(::WSAStartup(MAKEWORD(2, 2), &data), 0);
    // A server that takes the connection and never answers.
    const SOCKET silent = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_port = htons(80);
    std::string silentHost;
    for (int n = 40; n < 60 && silentHost.empty(); ++n) {
        silentHost = "127.0.0." + std::to_string(n);
        address.sin_addr.s_addr = ::inet_addr(silentHost.c_str());
        if (::bind(silent, reinterpret_cast<sockaddr*>(&address), sizeof address) != 0) {
            silentHost.clear();
        }
    }
    ASSERT_FALSE(silentHost.empty());
    ASSERT_EQ(::listen(silent, 1), 0);
    Program program(EXE, Folder("silent server"));
    ASSERT_TRUE(WriteBytes(program.Folder() + "config.txt",
                           Config(silentHost, "/codes.dat", TRANSFER_PATH)));
    const ULONGLONG started = ::GetTickCount64();
    ASSERT_TRUE(program.Start());
    EXPECT_LT(::GetTickCount64() - started, 10000u);
    // The program is busy with the fetch and answers no message, but its
    // window is painted: the stop sign and the text that says what it does.
    EXPECT_TRUE(program.WaitForStateIcon(IDI_NOT_READY));
    EXPECT_TRUE(uidriver::WaitForDrawnText(::GetDlgItem(program.Window(), IDC_STATUS)));
    ::closesocket(silent);
    ::WSACleanup();
}

TEST_F(ProgramTest, FailuresShowInTheWindowThenAboutOpensAndExitEndsTheProgram) {
    Serve("failing.dat", CODES);
    Program program(EXE, Folder("failures"));
    ASSERT_TRUE(
        WriteBytes(program.Folder() + "config.txt", Config(host, "/failing.dat", TRANSFER_PATH)));
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitForStateIcon(IDI_READY));
    HWND main = program.Window();
    const std::string copy = program.Folder() + "temp\\CODES.DAT";

    // The file is gone from the server: the copy fetched at the start stays.
    std::filesystem::remove(E2E + "www\\failing.dat");
    ASSERT_TRUE(uidriver::PostMenuCommand(main, ID_FILE_RETRIEVE));
    EXPECT_TRUE(uidriver::WaitForText(main, IDC_STATUS, "Cannot retrieve codes file."));
    EXPECT_TRUE(program.WaitForStateIcon(IDI_NOT_READY));
    EXPECT_EQ(ReadBytes(copy), CODES_ON_DISK);

    // Served again, but another program holds the working copy open.
    Serve("failing.dat", "2026-12-09 Newer\n");
    {
        HeldOpen held(copy);
        ASSERT_NE(held.handle, INVALID_HANDLE_VALUE);
        ASSERT_TRUE(uidriver::PostMenuCommand(main, ID_FILE_RETRIEVE));
        EXPECT_TRUE(
            uidriver::WaitForText(main, IDC_STATUS, "Cannot write the working copy:\r\n" + copy));
    }
    EXPECT_EQ(ReadBytes(copy), CODES_ON_DISK);

    HWND about = program.OpenDialog(ID_HELP_ABOUT);
    ASSERT_NE(about, nullptr);
    EXPECT_TRUE(program.CloseDialog(about, IDOK));
    ASSERT_TRUE(uidriver::PostMenuCommand(main, ID_FILE_EXIT));
    DWORD exitCode = 1;
    ASSERT_TRUE(program.WaitForExit(exitCode));
    EXPECT_EQ(exitCode, 0u);
}

TEST_F(ProgramTest, OptionsCancelKeepsTheSettingsOkSavesThemOrSaysItCannot) {
    Serve("first.dat", CODES);
    Serve("second.dat", "2026-12-09 Second\nS1\n");
    Program program(EXE, Folder("options"));
    const std::string configPath = program.Folder() + "config.txt";
    // Lines end in LF alone, so that any rewrite shows.
    const std::string config = host + "\n/first.dat\n" + TRANSFER_PATH + "\n";
    ASSERT_TRUE(WriteBytes(configPath, config));
    ASSERT_TRUE(program.Start());
    ASSERT_EQ(program.Status(), Retrieved(host, CODES_DATE));

    HWND options = program.OpenDialog(ID_CONFIGURE_OPTIONS);
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(uidriver::GetControlText(options, IDC_HOST), host);
    EXPECT_EQ(uidriver::GetControlText(options, IDC_TRANSFER_PATH), TRANSFER_PATH);
    ASSERT_TRUE(uidriver::SetControlText(options, IDC_CODES_PATH, "/second.dat"));
    ASSERT_TRUE(program.CloseDialog(options, IDCANCEL));
    EXPECT_EQ(ReadBytes(configPath), config);

    options = program.OpenDialog(ID_CONFIGURE_OPTIONS);
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(uidriver::GetControlText(options, IDC_CODES_PATH), "/first.dat");
    ASSERT_TRUE(uidriver::SetControlText(options, IDC_CODES_PATH, "/second.dat"));
    ASSERT_TRUE(uidriver::SetControlText(options, IDC_TRANSFER_PATH, "C:\\Other\\dcomm2.exe"));
    ASSERT_TRUE(program.CloseDialog(options, IDOK));
    const std::string saved = Config(host, "/second.dat", "C:\\Other\\dcomm2.exe");
    EXPECT_EQ(ReadBytes(configPath), saved);

    // The next retrieval uses the new path.
    ASSERT_TRUE(uidriver::PostMenuCommand(program.Window(), ID_FILE_RETRIEVE));
    EXPECT_TRUE(
        uidriver::WaitForText(program.Window(), IDC_STATUS, Retrieved(host, "2026-12-09 Second")));

    // Another program holds config.txt open: a message box says so.
    {
        HeldOpen held(configPath);
        ASSERT_NE(held.handle, INVALID_HANDLE_VALUE);
        options = program.OpenDialog(ID_CONFIGURE_OPTIONS);
        ASSERT_NE(options, nullptr);
        ASSERT_TRUE(uidriver::ClickButton(options, IDOK));
        HWND message = uidriver::WaitForOwnedWindow(options);
        ASSERT_NE(message, nullptr);
        constexpr int kMessageTextId = 0xFFFF;
        EXPECT_EQ(uidriver::GetControlText(message, kMessageTextId),
                  "Cannot save settings to config.txt.");
        ASSERT_TRUE(uidriver::ClickButton(message, IDOK));
        ASSERT_TRUE(program.WaitUntilDone(options));
    }
    EXPECT_EQ(ReadBytes(configPath), saved);
}

TEST_F(ProgramTest, OpenAndSaveGoThroughTheFileDialogs) {
    Program program(EXE, Folder("open and save"));
    const std::string opened = "2026-12-05 Opened\r\nX1\r\nX2\r\n";
    const std::string older = "older content, longer than the working copy\r\n\r\n\r\n";
    ASSERT_TRUE(WriteBytes(program.Folder() + "opened.DAT", opened));
    ASSERT_TRUE(WriteBytes(program.Folder() + "existing.DAT", older));
    // No host: nothing is fetched and the window is not ready.
    ASSERT_TRUE(WriteBytes(program.Folder() + "config.txt", Config("", "/x.dat", TRANSFER_PATH)));
    ASSERT_TRUE(program.Start());
    ASSERT_TRUE(program.WaitForStateIcon(IDI_NOT_READY));

    HWND open = program.OpenDialog(ID_FILE_OPEN_CODES);
    ASSERT_NE(open, nullptr);
    ASSERT_TRUE(uidriver::ChooseFile(open, program.Folder() + "opened.DAT"));
    ASSERT_TRUE(program.WaitUntilDone(open));
    EXPECT_EQ(program.Status(),
              "File read.\r\nCurrent Building Code date: 2026-12-05 Opened\r\n"
              "Ready to perform update.");
    EXPECT_TRUE(program.WaitForStateIcon(IDI_READY));
    EXPECT_EQ(ReadBytes(program.Folder() + "temp\\CODES.DAT"), opened);

    const std::string target = program.Folder() + "existing.DAT";
    HWND save = program.OpenDialog(ID_FILE_SAVE_CODES);
    ASSERT_NE(save, nullptr);
    ASSERT_TRUE(uidriver::ChooseFile(save, target));
    // The file is replaced only once the question is answered.
    HWND question = uidriver::WaitForOwnedWindow(save);
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(ReadBytes(target), older);
    ASSERT_TRUE(uidriver::ClickButton(question, IDYES));
    ASSERT_TRUE(program.WaitUntilDone(save));
    EXPECT_EQ(program.Status(), "Saved codes to:\r\n" + target);
    EXPECT_EQ(ReadBytes(target), opened);
}

}  // namespace
