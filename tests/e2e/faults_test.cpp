// Faults as an office meets them: web servers that misbehave or cannot be
// reached, a working copy or settings file that cannot be written, a full
// disk. In every case the status text (or a message box) names the failure
// and the old working copy and config.txt stay byte for byte as they were,
// with no temporary file left behind.
#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/e2e/fixtures.h"
#include "tests/support/loopback_server.h"
#include "tools/uidriver/driver.h"

namespace {

using namespace e2e;
using test_support::LoopbackServer;
using test_support::ServerStep;

constexpr std::uint16_t HTTP_PORT = 80;
constexpr std::size_t RECEIVE_LIMIT = 262144;
const char OLD_WORKING_COPY[] = "2026-11-01 Old codes\r\nA100\r\n";
const char TRANSFER_PATH[] = "C:\\Tools\\dcomm2.exe";
const char FETCH_FAILED[] = "Cannot retrieve codes file from WWW.";
const char MESSAGE_BOX_CAPTION[] = "Norvale";
const char SAVE_SETTINGS_FAILED[] = "Cannot save settings to config.txt.";

const char REPLY_HEADER[] = "HTTP/1.1 200 OK\r\nContent-Type: text/plain\r\n\r\n";

// A codes body of exactly `size` bytes: a date line, then code lines.
std::string CodesBody(std::size_t size) {
    std::string body = "2026-12-02 Large codes\n";
    while (body.size() < size) {
        body += "Z999 A code line of the list\n";
    }
    body.resize(size);
    return body;
}

// A whole reply of exactly `size` bytes.
std::string ReplyOfSize(std::size_t size) {
    const std::string header = REPLY_HEADER;
    return header + CodesBody(size - header.size());
}

std::string WithCrLf(const std::string& text) {
    std::string converted;
    for (char c : text) {
        converted += c == '\n' ? std::string("\r\n") : std::string(1, c);
    }
    return converted;
}

std::vector<std::string> FilesIn(const std::string& folder) {
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((folder + "\\*").c_str(), &entry);
    if (search == INVALID_HANDLE_VALUE) {
        return names;
    }
    do {
        const std::string name = entry.cFileName;
        if (name != "." && name != "..") {
            names.push_back(name);
        }
    } while (::FindNextFileA(search, &entry));
    ::FindClose(search);
    std::sort(names.begin(), names.end());
    return names;
}

// Settings and an old working copy, in place before the program starts.
std::string Prepare(const ProgramUnderTest& program, const std::string& host,
                    const std::string& path) {
    const std::string config = Config(host, path, TRANSFER_PATH);
    program.WriteFile("config.txt", config);
    program.WriteFile("temp\\CODES.DAT", OLD_WORKING_COPY);
    return config;
}

void ExpectNothingLost(const ProgramUnderTest& program, const std::string& config) {
    EXPECT_EQ(FileBytes(program, "config.txt"), config);
    EXPECT_EQ(FileBytes(program, "temp\\CODES.DAT"), OLD_WORKING_COPY);
    EXPECT_EQ(FilesIn(program.Folder() + "temp"), std::vector<std::string>{"CODES.DAT"});
}

void ExpectMessageBoxSays(HWND box, const std::string& text) {
    ASSERT_NE(box, nullptr);
    const std::vector<std::string> texts = uidriver::ChildTexts(box);
    EXPECT_NE(std::find(texts.begin(), texts.end(), text), texts.end());
    ASSERT_TRUE(uidriver::ClickButton(box, IDOK));
    ASSERT_TRUE(uidriver::WaitForWindowGone(box));
}

// ---- The web server ----
//
// Scripted servers listen on 127.0.0.40 to 127.0.0.47; nginx serves the
// addresses below those.

struct ServerFault {
    const char* name;
    const char* host;
    std::vector<ServerStep> script;  // empty: nothing listens there
};

TEST(ServerFaultTest, EveryFailedExchangeShowsTheFailureAndKeepsTheOldFiles) {
    const std::vector<ServerFault> faults{
        {"reset in the middle of the body",
         "127.0.0.40",
         {ServerStep::ReadRequest(),
          ServerStep::Send("HTTP/1.1 200 OK\r\nContent-Length: 400\r\n\r\n2026-12-01 Cut\nA1"),
          ServerStep::Reset()}},
        {"one byte over the receive limit",
         "127.0.0.41",
         {ServerStep::ReadRequest(), ServerStep::Send(ReplyOfSize(RECEIVE_LIMIT + 1))}},
        {"closed without a reply", "127.0.0.42", {ServerStep::ReadRequest()}},
        {"chunked reply",
         "127.0.0.43",
         {ServerStep::ReadRequest(),
          ServerStep::Send("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n"
                           "10\r\n2026-12-01 Codes\r\n0\r\n\r\n")}},
        {"connection refused", "127.0.0.44", {}},
        {"unknown host", "no-such-host.invalid", {}},
    };
    for (const ServerFault& fault : faults) {
        SCOPED_TRACE(fault.name);
        ProgramUnderTest program(std::string("ServerFaultTest.") + fault.host);
        const std::string config = Prepare(program, fault.host, "/codes.dat");
        std::unique_ptr<LoopbackServer> server;
        if (!fault.script.empty()) {
            server = std::make_unique<LoopbackServer>(fault.script, fault.host, HTTP_PORT);
            ASSERT_EQ(server->Port(), HTTP_PORT);
        }
        ASSERT_TRUE(program.Start());
        EXPECT_EQ(StatusText(program), FETCH_FAILED);
        EXPECT_TRUE(program.WaitForStateIcon(IDI_NOT_READY));
        ExpectNothingLost(program, config);
    }
}

TEST(ServerFaultTest, ReplyOfExactlyTheLimitAndOneSentByteByByteAreTaken) {
    const std::string dripped = "HTTP/1.0 200 OK\r\n\r\n2026-12-03 Dripped\nD1\nD2\n";
    const std::vector<std::pair<const char*, std::string>> replies{
        {"127.0.0.45", ReplyOfSize(RECEIVE_LIMIT)},
        {"127.0.0.46", dripped},
    };
    for (const auto& [host, reply] : replies) {
        SCOPED_TRACE(host);
        ProgramUnderTest program(std::string("ServerFaultTest.") + host);
        Prepare(program, host, "/codes.dat");
        const ServerStep send =
            reply == dripped ? ServerStep::Drip(reply) : ServerStep::Send(reply);
        LoopbackServer server({ServerStep::ReadRequest(), send}, host, HTTP_PORT);
        ASSERT_TRUE(program.Start());
        const std::string body = reply.substr(reply.find("\r\n\r\n") + 4);
        EXPECT_EQ(StatusText(program), RetrievedText(host, body.substr(0, body.find('\n'))));
        EXPECT_TRUE(program.WaitForStateIcon(IDI_READY));
        EXPECT_EQ(FileBytes(program, "temp\\CODES.DAT"), WithCrLf(body));
        EXPECT_EQ(server.Request(), "GET /codes.dat HTTP/1.0\r\n\r\n");
    }
}

TEST(ServerFaultTest, SilentServerIsGivenUpAfterThirtySeconds) {
    constexpr ULONGLONG kProductLimitMs = 30000;
    constexpr ULONGLONG kSlackMs = 15000;
    const char host[] = "127.0.0.47";
    ProgramUnderTest program;
    const std::string config = Prepare(program, host, "/codes.dat");
    LoopbackServer server({ServerStep::ReadRequest(), ServerStep::Hold()}, host, HTTP_PORT,
                          std::chrono::seconds(60));
    const ULONGLONG started = ::GetTickCount64();
    ASSERT_TRUE(program.Start(std::string(), static_cast<DWORD>(kProductLimitMs + kSlackMs)));
    const ULONGLONG waited = ::GetTickCount64() - started;
    EXPECT_GE(waited, kProductLimitMs);
    EXPECT_LT(waited, kProductLimitMs + kSlackMs);
    EXPECT_EQ(StatusText(program), FETCH_FAILED);
    EXPECT_TRUE(program.WaitForStateIcon(IDI_NOT_READY));
    ExpectNothingLost(program, config);
}

// ---- The working copy ----

TEST(WorkingCopyFaultTest, ReadOnlyOrLockedWorkingCopyIsNamedAndKept) {
    ServedFile served("faults.dat", CODES);
    for (const bool locked : {false, true}) {
        SCOPED_TRACE(locked ? "locked by another program" : "read-only");
        ProgramUnderTest program(locked ? "WorkingCopyFault.Locked" : "WorkingCopyFault.ReadOnly");
        const std::string config = Prepare(program, "127.0.0.32", "/faults.dat");
        const std::string copy = program.WorkingCopyPath();
        HANDLE lock = INVALID_HANDLE_VALUE;
        if (locked) {
            lock = ::CreateFileA(copy.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
            ASSERT_NE(lock, INVALID_HANDLE_VALUE);
        } else {
            ASSERT_TRUE(::SetFileAttributesA(copy.c_str(), FILE_ATTRIBUTE_READONLY));
        }
        ASSERT_TRUE(program.Start());
        if (locked) {
            ::CloseHandle(lock);
        }
        EXPECT_EQ(StatusText(program), "Cannot write the working copy:\r\n" + copy);
        EXPECT_TRUE(program.WaitForStateIcon(IDI_NOT_READY));
        ExpectNothingLost(program, config);
    }
}

TEST(WorkingCopyFaultTest, FullDiskIsNamedAndLeavesNoTemporaryFile) {
    const std::string disk = uidriver::ToWindowsPath(NORVALE_SMALL_DISK);
    if (!ProgramUnderTest::Exists(disk + "\\small-disk-mounted")) {
        GTEST_SKIP() << "no small disk to fill: mounting one needs root";
    }
    ServedFile served("full-disk.dat", CODES);
    ProgramUnderTest program(disk + "\\program");
    const std::string config = Prepare(program, "127.0.0.33", "/full-disk.dat");
    // Fill the disk to the last byte.
    HANDLE filler = ::CreateFileA((disk + "\\filler").c_str(), GENERIC_WRITE, 0, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(filler, INVALID_HANDLE_VALUE);
    const std::string block(4096, 'x');
    constexpr int kMaxBlocks = 4096;  // more than the disk holds
    for (int i = 0; i < kMaxBlocks; ++i) {
        DWORD written = 0;
        if (!::WriteFile(filler, block.data(), static_cast<DWORD>(block.size()), &written,
                         nullptr) ||
            written < block.size()) {
            break;
        }
    }
    ::CloseHandle(filler);

    ASSERT_TRUE(program.Start());
    EXPECT_EQ(StatusText(program),
              "Cannot write the working copy:\r\n" + program.WorkingCopyPath());
    EXPECT_TRUE(program.WaitForStateIcon(IDI_NOT_READY));
    ExpectNothingLost(program, config);
    ::DeleteFileA((disk + "\\filler").c_str());
}

TEST(WorkingCopyFaultTest, SaveOntoAReadOnlyFileNamesItAndKeepsIt) {
    ProgramUnderTest program;
    program.WriteFile("temp\\CODES.DAT", OLD_WORKING_COPY);
    program.WriteFile("config.txt", Config("", "/none.dat", TRANSFER_PATH));
    const std::string kept = "2026-01-01 Kept\r\n";
    program.WriteFile("kept.DAT", kept);
    const std::string target = program.Folder() + "kept.DAT";
    ASSERT_TRUE(::SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(program.Start());

    uidriver::PostMenuCommand(program.MainWindow(), ID_FILE_SAVE_CODES);
    HWND dialog = uidriver::WaitForOwnedWindow(program.MainWindow());
    ASSERT_NE(dialog, nullptr);
    ASSERT_TRUE(uidriver::ChooseFile(dialog, target));
    HWND question = uidriver::WaitForOwnedWindow(dialog);
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(uidriver::ClickButton(question, IDYES));
    ASSERT_TRUE(uidriver::WaitForWindowGone(dialog));
    ASSERT_TRUE(uidriver::WaitUntilIdle(program.MainWindow()));

    EXPECT_EQ(StatusText(program), "Cannot save codes to:\r\n" + target);
    EXPECT_EQ(FileBytes(program, target), kept);
    EXPECT_EQ(FilesIn(program.Folder() + "temp"), std::vector<std::string>{"CODES.DAT"});
    ::SetFileAttributesA(target.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// ---- The settings file ----

TEST(SettingsFaultTest, DetectedPathThatCannotBeSavedIsSaidAndStillUsed) {
    ServedFile served("settings-detect.dat", CODES);
    InstalledUtility utility('C');
    ProgramUnderTest program;
    const std::string config = Config("127.0.0.34", "/settings-detect.dat", SENTINEL);
    program.WriteFile("config.txt", config);
    ASSERT_TRUE(
        ::SetFileAttributesA((program.Folder() + "config.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    // The message comes while the window is still being prepared.
    ASSERT_TRUE(program.Launch());
    ExpectMessageBoxSays(program.WaitForWindow(MESSAGE_BOX_CAPTION), SAVE_SETTINGS_FAILED);
    ASSERT_TRUE(program.WaitForMainWindow());

    EXPECT_EQ(StatusText(program), RetrievedText("127.0.0.34", CODES_DATE));
    EXPECT_EQ(FileBytes(program, "config.txt"), config);
    EXPECT_EQ(FilesIn(program.Folder()),
              (std::vector<std::string>{"Norvale.exe", "config.txt", "temp"}));
    // The detected path is in use for this run.
    HWND options = nullptr;
    uidriver::PostMenuCommand(program.MainWindow(), ID_CONFIGURE_OPTIONS);
    options = uidriver::WaitForOwnedWindow(program.MainWindow());
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(uidriver::GetControlText(options, IDC_TRANSFER_PATH), UTILITY_ON_C);
    uidriver::ClickButton(options, IDCANCEL);
    EXPECT_TRUE(uidriver::WaitForWindowGone(options));
    ::SetFileAttributesA((program.Folder() + "config.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

TEST(SettingsFaultTest, OptionsThatCannotBeSavedAreSaidAndStillUsed) {
    ServedFile first("settings-first.dat", CODES);
    ServedFile second("settings-second.dat", "2026-12-04 Second server\nS1\n");
    ProgramUnderTest program;
    const std::string config = Config("127.0.0.35", "/settings-first.dat", TRANSFER_PATH);
    program.WriteFile("config.txt", config);
    ASSERT_TRUE(
        ::SetFileAttributesA((program.Folder() + "config.txt").c_str(), FILE_ATTRIBUTE_READONLY));
    ASSERT_TRUE(program.Start());
    ASSERT_EQ(StatusText(program), RetrievedText("127.0.0.35", CODES_DATE));

    uidriver::PostMenuCommand(program.MainWindow(), ID_CONFIGURE_OPTIONS);
    HWND options = uidriver::WaitForOwnedWindow(program.MainWindow());
    ASSERT_NE(options, nullptr);
    uidriver::SetControlText(options, IDC_HOST, "127.0.0.36");
    uidriver::SetControlText(options, IDC_CODES_PATH, "/settings-second.dat");
    uidriver::ClickButton(options, IDOK);
    ExpectMessageBoxSays(uidriver::WaitForOwnedWindow(options), SAVE_SETTINGS_FAILED);
    ASSERT_TRUE(uidriver::WaitForWindowGone(options));
    EXPECT_EQ(FileBytes(program, "config.txt"), config);

    // The new host and path are used all the same.
    uidriver::PostMenuCommand(program.MainWindow(), ID_FILE_RETRIEVE);
    EXPECT_TRUE(uidriver::WaitForText(program.MainWindow(), IDC_STATUS,
                                      RetrievedText("127.0.0.36", "2026-12-04 Second server")));
    ::SetFileAttributesA((program.Folder() + "config.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}

}  // namespace
