// Start-up and "Retrieve From Web" against a real web server (nginx on port
// 80 of a loopback address of each test's own), with the transfer utility
// installed at its usual locations or not at all.
#include <gtest/gtest.h>

#include <string>

#include "res/resource.h"
#include "tests/e2e/program.h"
#include "tools/uidriver/driver.h"

namespace {

using e2e::ProgramUnderTest;

const char UTILITY_ON_C[] = "C:\\Program Files\\Dolphin File Transfer\\dcomm2.exe";
const char UTILITY_ON_D[] = "D:\\Program Files\\Dolphin File Transfer\\dcomm2.exe";
const char UTILITY_FOLDER[] = ":\\Program Files\\Dolphin File Transfer";
const char A_TRANSFER_PATH[] = "C:\\Tools\\dcomm2.exe";
const char SENTINEL[] = "Autodetect Failed.";

const char CODES[] = "2026-12-01 Building codes\nA100 Foundations\nB200 Framing\n";
const char CODES_ON_DISK[] = "2026-12-01 Building codes\r\nA100 Foundations\r\nB200 Framing\r\n";
const char OLD_WORKING_COPY[] = "2026-11-01 Old codes\r\nA100\r\n";

std::string Retrieved(const std::string& host, const std::string& date) {
    return "File retrieved from " + host + ".\r\nCurrent Building Code date: " + date +
           "\r\nReady to perform update.";
}

std::string MissingUtilityText() {
    return "Unable to locate Dolphin File Transfer: \"dcomm2.exe\"\r\n"
           "Please locate it manually.\r\n"
           "Select Configure->Options.";
}

// A file served by the web server, removed again at the end of the test.
class ServedFile {
public:
    ServedFile(const std::string& name, const std::string& bytes)
        : m_path(uidriver::ToWindowsPath(NORVALE_E2E_WWW_DIR) + "\\" + name) {
        Put(bytes);
    }
    ~ServedFile() { ::DeleteFileA(m_path.c_str()); }
    ServedFile(const ServedFile&) = delete;
    ServedFile& operator=(const ServedFile&) = delete;

    void Put(const std::string& bytes) const { EXPECT_TRUE(e2e::WriteWholeFile(m_path, bytes)); }
    void Remove() const { ::DeleteFileA(m_path.c_str()); }

private:
    std::string m_path;
};

// The transfer utility at its usual location on a drive, for one test.
class InstalledUtility {
public:
    explicit InstalledUtility(char drive)
        : m_folder(std::string(1, drive) + UTILITY_FOLDER), m_file(m_folder + "\\dcomm2.exe") {
        ::CreateDirectoryA((std::string(1, drive) + ":\\Program Files").c_str(), nullptr);
        ::CreateDirectoryA(m_folder.c_str(), nullptr);
        EXPECT_TRUE(e2e::WriteWholeFile(m_file, "stand-in")) << m_file;
    }
    ~InstalledUtility() {
        ::DeleteFileA(m_file.c_str());
        ::RemoveDirectoryA(m_folder.c_str());
    }
    InstalledUtility(const InstalledUtility&) = delete;
    InstalledUtility& operator=(const InstalledUtility&) = delete;

private:
    std::string m_folder;
    std::string m_file;
};

std::string Config(const std::string& host, const std::string& path, const std::string& transfer) {
    return host + "\r\n" + path + "\r\n" + transfer + "\r\n";
}

std::string Status(const ProgramUnderTest& program) {
    return uidriver::GetControlText(program.MainWindow(), IDC_STATUS);
}

std::string FileBytes(const ProgramUnderTest& program, const std::string& name) {
    std::string bytes;
    EXPECT_TRUE(program.ReadFile(name, bytes)) << name;
    return bytes;
}

TEST(StartupTest, KnownTransferPathFetchesAtOnceWithoutRewritingSettings) {
    const std::string host = "127.0.0.2";
    ServedFile served("startup known.dat", CODES);
    ProgramUnderTest program;
    // Lines end in LF alone: a rewrite would show as CR LF. The path has no
    // leading slash and holds a blank, as a user may type it.
    const std::string config = host + "\nstartup known.dat\n" + A_TRANSFER_PATH + "\n";
    program.WriteFile("config.txt", config);
    ASSERT_TRUE(program.Start());

    EXPECT_EQ(Status(program), Retrieved(host, "2026-12-01 Building codes"));
    EXPECT_TRUE(program.WaitForStateIcon(IDI_READY));
    EXPECT_EQ(FileBytes(program, "temp\\CODES.DAT"), CODES_ON_DISK);
    EXPECT_EQ(FileBytes(program, "config.txt"), config);
}

TEST(StartupTest, DetectionPrefersDriveDAndSavesTheFoundPath) {
    const std::string host = "127.0.0.3";
    ServedFile served("detect-d.dat", CODES);
    InstalledUtility onD('D');
    InstalledUtility onC('C');
    ProgramUnderTest program;
    program.WriteFile("config.txt", Config(host, "/detect-d.dat", SENTINEL));
    ASSERT_TRUE(program.Start());

    EXPECT_EQ(FileBytes(program, "config.txt"), Config(host, "/detect-d.dat", UTILITY_ON_D));
    EXPECT_EQ(Status(program), Retrieved(host, "2026-12-01 Building codes"));
    EXPECT_TRUE(program.WaitForStateIcon(IDI_READY));
}

TEST(StartupTest, DetectionFindsTheUtilityOnDriveC) {
    const std::string host = "127.0.0.4";
    ServedFile served("detect-c.dat", CODES);
    InstalledUtility onC('C');
    ProgramUnderTest program;
    program.WriteFile("config.txt", Config(host, "/detect-c.dat", SENTINEL));
    ASSERT_TRUE(program.Start());

    EXPECT_EQ(FileBytes(program, "config.txt"), Config(host, "/detect-c.dat", UTILITY_ON_C));
    EXPECT_EQ(Status(program), Retrieved(host, "2026-12-01 Building codes"));
}

TEST(StartupTest, NoUtilityAnywhereShowsTheMissingUtilityTextAndDoesNotFetch) {
    const std::string host = "127.0.0.5";
    ServedFile served("detect-none.dat", CODES);
    ProgramUnderTest program;
    const std::string config = Config(host, "/detect-none.dat", SENTINEL);
    program.WriteFile("config.txt", config);
    ASSERT_TRUE(program.Start());

    EXPECT_EQ(Status(program), MissingUtilityText());
    EXPECT_TRUE(program.WaitForStateIcon(IDI_NOT_READY));
    EXPECT_FALSE(program.FileExists("temp\\CODES.DAT"));
    EXPECT_EQ(FileBytes(program, "config.txt"), config);
}

TEST(StartupTest, NotFoundReplyLeavesTheOldWorkingCopyAndShowsTheFailure) {
    ProgramUnderTest program;
    program.WriteFile("config.txt", Config("127.0.0.6", "/no-such-file.dat", A_TRANSFER_PATH));
    program.WriteFile("temp\\CODES.DAT", OLD_WORKING_COPY);
    ASSERT_TRUE(program.Start());

    EXPECT_EQ(Status(program), "Cannot retrieve codes file from WWW.");
    EXPECT_TRUE(program.WaitForStateIcon(IDI_NOT_READY));
    EXPECT_EQ(FileBytes(program, "temp\\CODES.DAT"), OLD_WORKING_COPY);
}

TEST(StartupTest, WorkingCopyGoesBesideTheProgramWhateverTheCurrentFolder) {
    const std::string host = "127.0.0.7";
    ServedFile served("elsewhere.dat", CODES);
    ProgramUnderTest program;
    // The settings live in the current folder; the program folder has no
    // temp folder yet.
    const std::string current = program.Folder() + "current\\";
    ::CreateDirectoryA(current.c_str(), nullptr);
    ::RemoveDirectoryA((program.Folder() + "temp").c_str());
    program.WriteFile(current + "config.txt", Config(host, "/elsewhere.dat", A_TRANSFER_PATH));
    ASSERT_TRUE(program.Start(current));

    EXPECT_EQ(Status(program), Retrieved(host, "2026-12-01 Building codes"));
    EXPECT_EQ(FileBytes(program, "temp\\CODES.DAT"), CODES_ON_DISK);
    EXPECT_FALSE(program.FileExists(current + "temp"));
}

TEST(StartupTest, WorkingCopyThatCannotBeWrittenIsNamed) {
    const std::string host = "127.0.0.8";
    ServedFile served("unwritable.dat", CODES);
    ProgramUnderTest program;
    // A file named temp stands where the folder should be.
    ::RemoveDirectoryA((program.Folder() + "temp").c_str());
    program.WriteFile("temp", "not a folder");
    program.WriteFile("config.txt", Config(host, "/unwritable.dat", A_TRANSFER_PATH));
    ASSERT_TRUE(program.Start());

    EXPECT_EQ(Status(program), "Cannot write the working copy:\r\n" + program.WorkingCopyPath());
    EXPECT_TRUE(program.WaitForStateIcon(IDI_NOT_READY));
    EXPECT_EQ(FileBytes(program, "temp"), "not a folder");
}

TEST(RetrieveFromWebTest, RetrievesOnDemandAndKeepsTheCopyWhenTheServerFails) {
    const std::string host = "127.0.0.9";
    ServedFile served("on-demand.dat", "2026-10-01 First\nA\n");
    ProgramUnderTest program;
    program.WriteFile("config.txt", Config(host, "/on-demand.dat", A_TRANSFER_PATH));
    ASSERT_TRUE(program.Start());
    HWND main = program.MainWindow();
    ASSERT_EQ(Status(program), Retrieved(host, "2026-10-01 First"));

    // A newer file on the server.
    served.Put(CODES);
    ASSERT_TRUE(uidriver::PostMenuCommand(main, ID_FILE_RETRIEVE));
    EXPECT_TRUE(
        uidriver::WaitForText(main, IDC_STATUS, Retrieved(host, "2026-12-01 Building codes")));
    EXPECT_TRUE(program.WaitForStateIcon(IDI_READY));
    EXPECT_EQ(FileBytes(program, "temp\\CODES.DAT"), CODES_ON_DISK);

    // The file is gone from the server: the window is not ready any more and
    // the working copy stays as it was.
    served.Remove();
    ASSERT_TRUE(uidriver::PostMenuCommand(main, ID_FILE_RETRIEVE));
    EXPECT_TRUE(uidriver::WaitForText(main, IDC_STATUS, "Cannot retrieve codes file."));
    EXPECT_TRUE(program.WaitForStateIcon(IDI_NOT_READY));
    EXPECT_EQ(FileBytes(program, "temp\\CODES.DAT"), CODES_ON_DISK);
}

TEST(RetrieveFromWebTest, FetchesEvenAfterDetectionFailed) {
    const std::string host = "127.0.0.10";
    ServedFile served("after-detection.dat", CODES);
    ProgramUnderTest program;
    program.WriteFile("config.txt", Config(host, "/after-detection.dat", SENTINEL));
    ASSERT_TRUE(program.Start());
    ASSERT_EQ(Status(program), MissingUtilityText());

    ASSERT_TRUE(uidriver::PostMenuCommand(program.MainWindow(), ID_FILE_RETRIEVE));
    EXPECT_TRUE(uidriver::WaitForText(program.MainWindow(), IDC_STATUS,
                                      Retrieved(host, "2026-12-01 Building codes")));
    EXPECT_TRUE(program.WaitForStateIcon(IDI_READY));
}

}  // namespace
