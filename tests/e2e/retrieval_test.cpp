// Start-up and "Retrieve From Web" against a real web server (nginx on port
// 80 of a loopback address of each test's own), with the transfer utility
// installed at its usual locations or not at all.
#include <gtest/gtest.h>

#include <string>

#include "res/resource.h"
#include "tests/e2e/fixtures.h"
#include "tools/uidriver/driver.h"

namespace {

using namespace e2e;

const char A_TRANSFER_PATH[] = "C:\\Tools\\dcomm2.exe";
const char OLD_WORKING_COPY[] = "2026-11-01 Old codes\r\nA100\r\n";

TEST(StartupTest, KnownTransferPathFetchesAtOnceWithoutRewritingSettings) {
    const std::string host = "127.0.0.2";
    ServedFile served("startup known.dat", CODES);
    ProgramUnderTest program;
    // Lines end in LF alone: a rewrite would show as CR LF. The path has no
    // leading slash and holds a blank, as a user may type it.
    const std::string config = host + "\nstartup known.dat\n" + A_TRANSFER_PATH + "\n";
    program.WriteFile("config.txt", config);
    ASSERT_TRUE(program.Start());

    EXPECT_EQ(StatusText(program), RetrievedText(host, CODES_DATE));
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
    EXPECT_EQ(StatusText(program), RetrievedText(host, CODES_DATE));
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
    EXPECT_EQ(StatusText(program), RetrievedText(host, CODES_DATE));
}

TEST(StartupTest, NoUtilityAnywhereShowsTheMissingUtilityTextAndDoesNotFetch) {
    const std::string host = "127.0.0.5";
    ServedFile served("detect-none.dat", CODES);
    ProgramUnderTest program;
    const std::string config = Config(host, "/detect-none.dat", SENTINEL);
    program.WriteFile("config.txt", config);
    ASSERT_TRUE(program.Start());

    EXPECT_EQ(StatusText(program), MissingUtilityText());
    EXPECT_TRUE(program.WaitForStateIcon(IDI_NOT_READY));
    EXPECT_FALSE(program.FileExists("temp\\CODES.DAT"));
    EXPECT_EQ(FileBytes(program, "config.txt"), config);
}

TEST(StartupTest, NotFoundReplyLeavesTheOldWorkingCopyAndShowsTheFailure) {
    ProgramUnderTest program;
    program.WriteFile("config.txt", Config("127.0.0.6", "/no-such-file.dat", A_TRANSFER_PATH));
    program.WriteFile("temp\\CODES.DAT", OLD_WORKING_COPY);
    ASSERT_TRUE(program.Start());

    EXPECT_EQ(StatusText(program), "Cannot retrieve codes file from WWW.");
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

    EXPECT_EQ(StatusText(program), RetrievedText(host, CODES_DATE));
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

    EXPECT_EQ(StatusText(program),
              "Cannot write the working copy:\r\n" + program.WorkingCopyPath());
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
    ASSERT_EQ(StatusText(program), RetrievedText(host, "2026-10-01 First"));

    // A newer file on the server.
    served.Put(CODES);
    ASSERT_TRUE(uidriver::PostMenuCommand(main, ID_FILE_RETRIEVE));
    EXPECT_TRUE(uidriver::WaitForText(main, IDC_STATUS, RetrievedText(host, CODES_DATE)));
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
    ASSERT_EQ(StatusText(program), MissingUtilityText());

    ASSERT_TRUE(uidriver::PostMenuCommand(program.MainWindow(), ID_FILE_RETRIEVE));
    EXPECT_TRUE(
        uidriver::WaitForText(program.MainWindow(), IDC_STATUS, RetrievedText(host, CODES_DATE)));
    EXPECT_TRUE(program.WaitForStateIcon(IDI_READY));
}

}  // namespace
