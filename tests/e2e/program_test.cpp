// The real Norvale.exe under Wine, against nginx and the stand-in transfer
// utility. Each test is one start of the program that proves a part of its
// wiring: what the window shows, the files it writes byte for byte, the
// programs it runs.
#include <winsock2.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <optional>
#include <string>

#include "res/resource.h"
#include "tests/support/temp_folder.h"
#include "tools/uidriver/driver.h"

namespace {

using namespace test_support;
using namespace uidriver;

// The test's folder and the web server's files in it.
const std::string E2E = ToWindowsPath(NORVALE_E2E_DIR) + "\\", WWW = E2E + "www\\";
const char CODES[] = "2026-12-01 Building codes\nA100 Foundations\nB200 Framing\n";
const char CODES_ON_DISK[] = "2026-12-01 Building codes\r\nA100 Foundations\r\nB200 Framing\r\n";
const char CODES_DATE[] = "2026-12-01 Building codes", TRANSFER_PATH[] = "C:\\Tools\\dcomm2.exe";
// System DLLs that are not known DLLs, as someone may leave them beside the program.
const char* const PLANTED_DLLS[] = {"winhttp.dll", "crypt32.dll", "secur32.dll"};
enum class Beside { Nothing, PlantedDlls };

std::string Config(const std::string& host, const std::string& path, const std::string& transfer) {
    return host + "\r\n" + path + "\r\n" + transfer + "\r\n";
}

// The status once the codes dated `date` are ready, after the line `how`.
std::string Ready(const std::string& how, const std::string& date) {
    return how + "\r\nCurrent Building Code date: " + date + "\r\nReady to perform update.";
}

// The stand-in utility at its usual place on `drive` for one test; it
// "loads the handheld" into a folder handheld beside itself.
struct InstalledUtility {
    explicit InstalledUtility(char drive)
        : folder(std::string(1, drive) + ":\\Program Files\\Dolphin File Transfer\\") {
        MakeFolderWithCopy(folder, ToWindowsPath(NORVALE_FAKE_DCOMM2_PATH), "dcomm2.exe");
    }
    ~InstalledUtility() { std::filesystem::remove_all(folder, error); }
    const std::string folder, path = folder + "dcomm2.exe";
    std::error_code error;
};

// The stand-in utility in `folder`, once started, held until released (or
// until this object goes): hold.txt names its events.
struct HeldUtility {
    explicit HeldUtility(const std::string& folder)
        : name("norvale-e2e-hold-" + std::to_string(::GetCurrentProcessId())),
          release(::CreateEventA(nullptr, TRUE, FALSE, name.c_str())),
          started(::CreateEventA(nullptr, TRUE, FALSE, (name + " started").c_str())),
          ready(release != nullptr && started != nullptr && WriteBytes(folder + "hold.txt", name)) {
    }
    ~HeldUtility() {
        Release();
        ::CloseHandle(release);
        ::CloseHandle(started);
    }
    bool WaitUntilStarted() const {
        return ::WaitForSingleObject(started, kDefaultTimeoutMs) == WAIT_OBJECT_0;
    }
    void Release() const { ::SetEvent(release); }
    const std::string name;
    const HANDLE release, started;
    const bool ready;
};

// A web server on port 80 of the first free address from 127.0.0.40, which
// takes one connection and answers only when told.
struct SilentServer {
    SilentServer() {
        WSADATA data;
        started = ::WSAStartup(MAKEWORD(2, 2), &data) == 0;
        listener = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in server{AF_INET, htons(80), {}, {}};
        int n = 39;
        do {
            server.sin_addr.s_addr = ::inet_addr(("127.0.0." + std::to_string(++n)).c_str());
        } while (::bind(listener, reinterpret_cast<sockaddr*>(&server), sizeof server) != 0 &&
                 n < 60);
        listening = ::listen(listener, 1) == 0;
        address = ::inet_ntoa(server.sin_addr);
    }
    ~SilentServer() {
        ::closesocket(peer);
        ::closesocket(listener);
        if (started) {
            ::WSACleanup();
        }
    }
    // True once the program has connected, within ten seconds.
    bool Accept() {
        WSAPOLLFD waiting{listener, POLLRDNORM, 0};
        peer = ::WSAPoll(&waiting, 1, 10000) == 1 ? ::accept(listener, nullptr, nullptr)
                                                  : INVALID_SOCKET;
        return peer != INVALID_SOCKET;
    }
    // Sends the codes and closes the connection.
    bool Answer() {
        const std::string reply = std::string("HTTP/1.0 200 OK\r\n\r\n") + CODES;
        const bool sent = ::send(peer, reply.data(), static_cast<int>(reply.size()), 0) ==
                          static_cast<int>(reply.size());
        ::closesocket(peer);
        peer = INVALID_SOCKET;
        return sent;
    }
    bool started = false, listening = false;
    SOCKET listener = INVALID_SOCKET, peer = INVALID_SOCKET;
    std::string address;
};

// The web server's address; the program under test, in a folder of its own.
struct ProgramTest : testing::Test {
    void SetUp() override { ASSERT_FALSE(host.empty()); }
    // Starts Norvale.exe in the folder work\`name` with this config.txt, and
    // with the stand-in DLLs beside it when asked; true once its window
    // shows, within `ms`.
    bool Start(const char* name, const std::string& config, DWORD ms = kDefaultTimeoutMs,
               Beside beside = Beside::Nothing) {
        program.emplace(ToWindowsPath(NORVALE_EXE_PATH), E2E + "work\\" + name + "\\");
        for (const char* dll : PLANTED_DLLS) {
            const std::string source = ToWindowsPath(NORVALE_PLANTED_DLL_DIR) + "\\" + dll;
            if (beside == Beside::PlantedDlls &&
                !::CopyFileA(source.c_str(), program->Path(dll).c_str(), FALSE)) {
                return false;
            }
        }
        return WriteBytes(program->Path("config.txt"), config) && program->Start(ms);
    }
    std::string Bytes(const std::string& name) const { return ReadBytes(program->Path(name)); }
    // Types `typed` in the Options dialog and closes it with `button`.
    bool Options(const ControlTexts& typed, int button) const {
        return program->FillDialog(program->OpenDialog(ID_CONFIGURE_OPTIONS), typed, button);
    }

    const std::string host = ReadBytes(E2E + "server\\address");
    const std::string retrieved = "File retrieved from " + host + ".";
    std::optional<Program> program;
};

TEST_F(ProgramTest, DetectsTheUtilityFetchesAndLoadsTheHandheldThroughUpdateBat) {
    ASSERT_TRUE(WriteBytes(WWW + "codes.dat", CODES));
    const InstalledUtility onD('D'), onC('C');
    // The command interpreter would take %OS% for a variable.
    ASSERT_TRUE(Start("update 100%OS%", Config(host, "/codes.dat", "Autodetect Failed.")));
    const std::string copy = program->Path("temp\\CODES.DAT");

    // Drive D: is looked at first.
    EXPECT_EQ(Bytes("config.txt"), Config(host, "/codes.dat", onD.path));
    EXPECT_TRUE(program->WaitForState(Ready(retrieved, CODES_DATE), IDI_READY));
    EXPECT_EQ(ReadBytes(copy), CODES_ON_DISK);

    // The click returns once the utility has ended.
    ASSERT_TRUE(ClickButtonAndWait(program->Window(), IDC_UPDATE));
    const std::string run = "\"" + onD.path + "\" /b=57600 \"";
    EXPECT_EQ(Bytes("update.bat"), run + E2E + "work\\update 100%%OS%%\\temp\\CODES.DAT\"\r\n");
    EXPECT_EQ(ReadBytes(onD.folder + "handheld\\dcomm2-command-line.txt"), run + copy + "\"");
    EXPECT_EQ(ReadBytes(onD.folder + "handheld\\CODES.DAT"), CODES_ON_DISK);
    EXPECT_FALSE(Exists(onC.folder + "handheld"));
    EXPECT_EQ(program->Status(), Ready(retrieved, CODES_DATE));

    // A double click runs the utility once: the second click, queued while
    // it ran, is dropped. The About box, asked for after both, opens only once
    // both clicks have been handled. This transfer fails, which is said; the
    // codes stay ready.
    ASSERT_TRUE(WriteBytes(onD.folder + "exit-status.txt", "3"));
    ASSERT_TRUE(PostMouseClick(program->Window(), IDC_UPDATE, 2));
    EXPECT_TRUE(program->CloseDialog(program->OpenDialog(ID_HELP_ABOUT), IDOK));
    EXPECT_EQ(ReadBytes(onD.folder + "handheld\\runs.txt"), "run\r\nrun\r\n");
    EXPECT_TRUE(::IsWindowEnabled(::GetDlgItem(program->Window(), IDC_UPDATE)));
    EXPECT_TRUE(program->WaitForState(
        "Update Building Codes failed.\r\nThe transfer utility ended with code 3.", IDI_READY));

    // A retry that succeeds shows the codes ready again, not the failure.
    ASSERT_TRUE(::DeleteFileA((onD.folder + "exit-status.txt").c_str()));
    ASSERT_TRUE(ClickButtonAndWait(program->Window(), IDC_UPDATE));
    EXPECT_EQ(program->Status(), Ready(retrieved, CODES_DATE));
}

TEST_F(ProgramTest, WindowOpensAtOnceAndDropsClicksWhileASlowServerHoldsTheFetch) {
    SilentServer slow;
    ASSERT_TRUE(slow.listening);
    const InstalledUtility onC('C');
    // The window shows within ten seconds.
    ASSERT_TRUE(Start("slow", Config(slow.address, "/codes.dat", onC.path), 10000));
    // While the fetch waits, the window is painted: the stop sign and the
    // text that says what it does.
    EXPECT_TRUE(program->WaitForStateIcon(IDI_NOT_READY));
    EXPECT_TRUE(WaitForDrawnText(::GetDlgItem(program->Window(), IDC_STATUS)));

    // A click on the button while the fetch waits is dropped: once the
    // server has answered the codes are ready, and the utility has not run.
    ASSERT_TRUE(slow.Accept());
    ASSERT_TRUE(PostMouseClick(program->Window(), IDC_UPDATE));
    ASSERT_TRUE(slow.Answer());
    EXPECT_TRUE(program->WaitForState(
        Ready("File retrieved from " + slow.address + ".", CODES_DATE), IDI_READY));
    EXPECT_TRUE(WaitUntilIdle(program->Window()));
    EXPECT_FALSE(Exists(onC.folder + "handheld"));
}

TEST_F(ProgramTest, AnswersAtOnceWhileTheFetchAndTheTransferWait) {
    // Questions for six seconds, past the five after which Windows calls a
    // window that takes no message Not Responding.
    constexpr DWORD kAskingMs = 6000;
    SilentServer silent;
    const InstalledUtility onC('C');
    const HeldUtility held(onC.folder);
    ASSERT_TRUE(silent.listening && held.ready);
    ASSERT_TRUE(Start("answers", Config(silent.address, "/codes.dat", onC.path)));
    const std::string ready = Ready("File retrieved from " + silent.address + ".", CODES_DATE);

    ASSERT_TRUE(silent.Accept());
    EXPECT_TRUE(AnswersAtOnceFor(program->Window(), IDC_STATUS, kAskingMs));
    ASSERT_TRUE(silent.Answer());
    EXPECT_TRUE(program->WaitForState(ready, IDI_READY));

    // The transfer, held once it has started; a click meanwhile is dropped.
    ASSERT_TRUE(ClickButton(program->Window(), IDC_UPDATE) && held.WaitUntilStarted());
    ASSERT_TRUE(PostMouseClick(program->Window(), IDC_UPDATE));
    EXPECT_TRUE(AnswersAtOnceFor(program->Window(), IDC_STATUS, kAskingMs));
    held.Release();
    EXPECT_TRUE(program->WaitForStatus(ready));
    EXPECT_TRUE(WaitUntilIdle(program->Window()));
    EXPECT_EQ(ReadBytes(onC.folder + "handheld\\runs.txt"), "run\r\n");
}

TEST_F(ProgramTest, FailuresShowInTheWindowAndExitEndsTheProgram) {
    ASSERT_TRUE(WriteBytes(WWW + "failing.dat", CODES));
    ASSERT_TRUE(Start("failures", Config(host, "/failing.dat", TRANSFER_PATH)));
    ASSERT_TRUE(program->WaitForStateIcon(IDI_READY));
    const std::string copy = program->Path("temp\\CODES.DAT");

    // The file is gone from the server: the copy fetched at the start stays.
    ASSERT_TRUE(::DeleteFileA((WWW + "failing.dat").c_str()));
    ASSERT_TRUE(program->Command(ID_FILE_RETRIEVE));
    EXPECT_TRUE(program->WaitForState(
        "Cannot retrieve codes file.\r\nThe server answered with status 404.", IDI_NOT_READY));
    EXPECT_EQ(ReadBytes(copy), CODES_ON_DISK);

    // Served again, but another program holds the working copy open.
    ASSERT_TRUE(WriteBytes(WWW + "failing.dat", "2026-12-09 Newer\n"));
    ASSERT_TRUE(WhileHeldOpen(copy, [&] {
        ASSERT_TRUE(program->Command(ID_FILE_RETRIEVE));
        EXPECT_TRUE(program->WaitForStatus("Cannot write the working copy:\r\n" + copy));
    }));
    EXPECT_EQ(ReadBytes(copy), CODES_ON_DISK);

    ASSERT_TRUE(program->Command(ID_FILE_EXIT));
    EXPECT_EQ(program->WaitForExitCode(), 0u);
}

TEST_F(ProgramTest, ReachesHttpsAndRefusesWhatIsNotSafeKeepingTheCopy) {
    // Bytes a text reading would change come through as they were sent.
    const std::string served("2026-12-01 Building codes\r\nline\n\0\x1a\xff end", 39);
    const std::string onDisk("2026-12-01 Building codes\r\nline\r\n\0\x1a\xff end", 40);
    ASSERT_TRUE(WriteBytes(WWW + "secure.dat", served));
    const auto site = [&](const char* name) {
        return "https://localhost:" + ReadBytes(E2E + "server\\https-" + name);
    };
    // The test runs with Wine told to prefer a DLL beside the program, as
    // Windows does.
    ASSERT_TRUE(Start("https", Config(site("good"), "/secure.dat", TRANSFER_PATH),
                      kDefaultTimeoutMs, Beside::PlantedDlls));
    EXPECT_TRUE(program->WaitForState(
        Ready("File retrieved from " + site("good") + ".", CODES_DATE), IDI_READY));
    const std::string copy = program->Path("temp\\CODES.DAT");
    EXPECT_EQ(ReadBytes(copy), onDisk);

    // Each row's settings go in through Options, then File > Retrieve From Web.
    const std::string refused = "Cannot retrieve codes file.\r\n";
    // clang-format off
    const struct { std::string host, path, status; int icon; } rows[] = {
        {host,               "/to-https/secure.dat",  Ready(retrieved, CODES_DATE), IDI_READY},
        {site("untrusted"),  "/secure.dat",           refused + "The server's certificate is not trusted.", IDI_NOT_READY},
        {site("wrong-name"), "/secure.dat",           refused + "The server's certificate is for another name.", IDI_NOT_READY},
        {site("expired"),    "/secure.dat",           refused + "The server's certificate has expired.", IDI_NOT_READY},
        {site("unknown-ca"), "/secure.dat",           refused + "The server's certificate is not trusted.", IDI_NOT_READY},
        {site("old-tls"),    "/secure.dat",           refused + "The secure connection failed.", IDI_NOT_READY},
        {site("good"),       "/downgrade/secure.dat", refused + "A redirect from https to http was refused.", IDI_NOT_READY},
        {site("good"),       "/loop",                 refused + "The redirects go round in a loop.", IDI_NOT_READY},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE(row.status);
        ASSERT_TRUE(Options({{IDC_HOST, row.host}, {IDC_CODES_PATH, row.path}}, IDOK));
        ASSERT_TRUE(program->Command(ID_FILE_RETRIEVE));
        EXPECT_TRUE(program->WaitForState(row.status, row.icon));
        EXPECT_EQ(ReadBytes(copy), onDisk);
    }
    // The DLLs beside the program were never loaded: the system's were.
    for (const char* dll : PLANTED_DLLS) {
        EXPECT_FALSE(Exists(program->Path(dll) + ".loaded")) << dll;
    }
}

TEST_F(ProgramTest, OptionsCancelKeepsTheSettingsOkSavesThemOrSaysItCannot) {
    ASSERT_TRUE(WriteBytes(WWW + "first.dat", CODES));
    // Lines end in LF alone, so that any rewrite shows.
    const std::string config = host + "\n/first.dat\n" + TRANSFER_PATH + "\n";
    ASSERT_TRUE(Start("options", config) && program->WaitForStatus(Ready(retrieved, CODES_DATE)));

    // Cancel keeps config.txt and the settings in force, which the dialog
    // shows when opened again; OK saves the new ones.
    const ControlTexts typed = {{IDC_CODES_PATH, "/second.dat"},
                                {IDC_TRANSFER_PATH, "C:\\Other\\dcomm2.exe"}};
    ASSERT_TRUE(Options(typed, IDCANCEL));
    EXPECT_EQ(Bytes("config.txt"), config);
    HWND options = program->OpenDialog(ID_CONFIGURE_OPTIONS);
    EXPECT_EQ(GetControlText(options, IDC_HOST), host);
    EXPECT_EQ(GetControlText(options, IDC_CODES_PATH), "/first.dat");
    EXPECT_EQ(GetControlText(options, IDC_TRANSFER_PATH), TRANSFER_PATH);
    ASSERT_TRUE(program->FillDialog(options, typed, IDOK));
    const std::string saved = Config(host, "/second.dat", "C:\\Other\\dcomm2.exe");
    EXPECT_EQ(Bytes("config.txt"), saved);

    // Another program holds config.txt open: a message box says so.
    ASSERT_TRUE(WhileHeldOpen(program->Path("config.txt"), [&] {
        EXPECT_EQ(
            program->CloseDialogAnswering(program->OpenDialog(ID_CONFIGURE_OPTIONS), IDOK, IDOK),
            "Cannot save settings to config.txt.");
    }));
    EXPECT_EQ(Bytes("config.txt"), saved);
}

TEST_F(ProgramTest, OpenAndSaveGoThroughTheFileDialogs) {
    // No host: nothing is fetched and the window is not ready.
    ASSERT_TRUE(Start("open and save", Config("", "/x.dat", TRANSFER_PATH)));
    ASSERT_TRUE(program->WaitForStateIcon(IDI_NOT_READY));
    const std::string older = "older content, longer than the working copy\r\n\r\n\r\n";
    const std::string elsewhere = program->Path("elsewhere\\"), tools = program->Path("tools\\");
    const std::string opened = elsewhere + "opened.DAT", target = program->Path("existing.DAT");
    ASSERT_TRUE(::CreateDirectoryA(elsewhere.c_str(), nullptr) &&
                MakeFolderWithCopy(tools, ToWindowsPath(NORVALE_FAKE_DCOMM2_PATH), "dcomm2.exe"));
    ASSERT_TRUE(WriteBytes(opened, CODES_ON_DISK) && WriteBytes(target, older));

    // Opened from one folder, the utility chosen in another: config.txt and
    // update.bat stay in the folder the program started in.
    ASSERT_TRUE(program->WaitUntilDone(program->ChooseFile(ID_FILE_OPEN_CODES, opened)));
    EXPECT_TRUE(program->WaitForState(Ready("File read.", CODES_DATE), IDI_READY));
    EXPECT_EQ(Bytes("temp\\CODES.DAT"), CODES_ON_DISK);
    HWND options = program->OpenDialog(ID_CONFIGURE_OPTIONS);
    ASSERT_TRUE(ClickButton(options, IDC_BROWSE));
    const HWND browse = WaitForOwnedWindow(options);
    ASSERT_TRUE(ChooseFile(browse, tools + "dcomm2.exe") && WaitForWindowGone(browse));
    ASSERT_TRUE(program->CloseDialog(options, IDOK));
    EXPECT_EQ(Bytes("config.txt"), Config("", "/x.dat", tools + "dcomm2.exe"));
    ASSERT_TRUE(ClickButtonAndWait(program->Window(), IDC_UPDATE));
    EXPECT_EQ(Bytes("update.bat"),
              "\"" + tools + "dcomm2.exe\" /b=57600 \"" + program->Path("temp\\CODES.DAT\"\r\n"));
    EXPECT_EQ(ReadBytes(tools + "handheld\\CODES.DAT"), CODES_ON_DISK);
    for (const std::string& folder : {elsewhere, tools}) {
        EXPECT_FALSE(Exists(folder + "config.txt") || Exists(folder + "update.bat")) << folder;
    }

    // The file is replaced only once the question is answered.
    HWND save = program->ChooseFile(ID_FILE_SAVE_CODES, target), box = WaitForOwnedWindow(save);
    EXPECT_EQ(ReadBytes(target), older);
    ASSERT_TRUE(ClickButton(box, IDYES) && program->WaitUntilDone(save));
    EXPECT_EQ(program->Status(), "Saved codes to:\r\n" + target);
    EXPECT_EQ(ReadBytes(target), CODES_ON_DISK);
}

// A user whose name code page 1252 lacks letters of: the program works from
// such a folder, shows paths in it as they are, and the transfer utility, an
// 8-bit program, is named its files by their short names.
TEST_F(ProgramTest, WorksInFoldersThatCodePage1252CannotName) {
    ASSERT_EQ(::GetACP(), 1252u);
    ASSERT_TRUE(WriteBytes(WWW + "codes.dat", CODES));
    const auto ascii = [](const std::string& text) {
        return std::all_of(text.begin(), text.end(),
                           [](char c) { return static_cast<unsigned char>(c) < 0x80; });
    };
    // Dvořák, Дмитрий.
    for (const char* name :
         {"Dvo\xC5\x99\xC3\xA1k", "\xD0\x94\xD0\xBC\xD0\xB8\xD1\x82\xD1\x80\xD0\xB8\xD0\xB9"}) {
        SCOPED_TRACE(name);
        ASSERT_TRUE(Start(name, Config(host, "/codes.dat", TRANSFER_PATH)));
        EXPECT_TRUE(program->WaitForState(Ready(retrieved, CODES_DATE), IDI_READY));
        EXPECT_EQ(Bytes("temp\\CODES.DAT"), CODES_ON_DISK);

        const std::string saved = program->Path("saved.DAT"), tools = program->Path("tools\\");
        ASSERT_TRUE(program->WaitUntilDone(program->ChooseFile(ID_FILE_SAVE_CODES, saved)));
        EXPECT_EQ(program->Status(), "Saved codes to:\r\n" + saved);
        EXPECT_EQ(ReadBytes(saved), CODES_ON_DISK);
        ASSERT_TRUE(program->WaitUntilDone(program->ChooseFile(ID_FILE_OPEN_CODES, saved)));
        EXPECT_TRUE(program->WaitForState(Ready("File read.", CODES_DATE), IDI_READY));

        // The utility chosen in the folder goes into config.txt by its short name.
        ASSERT_TRUE(
            MakeFolderWithCopy(tools, ToWindowsPath(NORVALE_FAKE_DCOMM2_PATH), "dcomm2.exe"));
        HWND options = program->OpenDialog(ID_CONFIGURE_OPTIONS);
        ASSERT_TRUE(ClickButton(options, IDC_BROWSE));
        const HWND browse = WaitForOwnedWindow(options);
        ASSERT_TRUE(ChooseFile(browse, tools + "dcomm2.exe") && WaitForWindowGone(browse));
        ASSERT_TRUE(program->CloseDialog(options, IDOK));
        const std::string config = Bytes("config.txt"), start = host + "\r\n/codes.dat\r\n";
        ASSERT_EQ(config.substr(0, start.size()), start);
        const std::string utility = config.substr(start.size(), config.size() - start.size() - 2);
        EXPECT_TRUE(ascii(utility)) << utility;
        EXPECT_EQ(ReadBytes(utility), ReadBytes(tools + "dcomm2.exe"));

        ASSERT_TRUE(ClickButtonAndWait(program->Window(), IDC_UPDATE));
        EXPECT_TRUE(ascii(Bytes("update.bat"))) << Bytes("update.bat");
        EXPECT_EQ(ReadBytes(tools + "handheld\\CODES.DAT"), CODES_ON_DISK);
        EXPECT_EQ(program->Status(), Ready("File read.", CODES_DATE));
    }
}

}  // namespace
