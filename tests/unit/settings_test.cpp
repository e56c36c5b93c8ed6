#include "platform/file_system.h"
#include "settings/detect.h"
#include "settings/settings.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

using test_support::ReadBytes;
using test_support::TempFolder;
using test_support::WriteBytes;

namespace {

Settings ReadFrom(const std::string& fileBytes) {
    const TempFolder folder;
    const std::string path = folder.PathOf("config.txt");
    EXPECT_TRUE(WriteBytes(path, fileBytes));
    Settings settings;
    EXPECT_TRUE(ReadSettingsFile(path, settings));
    return settings;
}

void ExpectSettings(const Settings& settings, const std::string& host, const std::string& codesPath,
                    const std::string& transferPath) {
    EXPECT_EQ(settings.host, host);
    EXPECT_EQ(settings.codesPath, codesPath);
    EXPECT_EQ(settings.transferPath, transferPath);
}

}  // namespace

TEST(SettingsFileReading, LfAndCrLfLineEndsGiveTheSameValuesWithBlanksKept) {
    const std::string transfer = "C:\\Program Files\\Dolphin File Transfer\\dcomm2.exe";
    ExpectSettings(ReadFrom(" host \r\n/dir/CODES.DAT\t\r\n" + transfer + "\r\n"), " host ",
                   "/dir/CODES.DAT\t", transfer);
    ExpectSettings(ReadFrom(" host \n/dir/CODES.DAT\t\n" + transfer + "\n"), " host ",
                   "/dir/CODES.DAT\t", transfer);
    // Mixed line ends, and a last line without one.
    ExpectSettings(ReadFrom("h\nc\r\nt"), "h", "c", "t");
}

TEST(SettingsFileReading, ShortFilesLeaveTheMissingSettingsEmpty) {
    ExpectSettings(ReadFrom("www.example.com"), "www.example.com", "", "");
    ExpectSettings(ReadFrom("h\r\n"), "h", "", "");
    ExpectSettings(ReadFrom(""), "", "", "");
    ExpectSettings(ReadFrom("\r\n\r\n\r\n"), "", "", "");
}

TEST(SettingsFileReading, LinesAfterTheThirdAreIgnored) {
    ExpectSettings(ReadFrom("1\r\n2\r\n3\r\n4\r\n5\r\n"), "1", "2", "3");
}

TEST(SettingsFileReading, OnlyACrBeforeAnLfBelongsToTheLineEnd) {
    ExpectSettings(ReadFrom("a\rb\r\nc\r\r\nd\r"), "a\rb", "c\r", "d\r");
}

TEST(SettingsFileReading, CtrlZEndsTheFileAndLaterSettingsKeepTheirValues) {
    const TempFolder folder;
    const std::string path = folder.PathOf("config.txt");
    ASSERT_TRUE(WriteBytes(path, "host\r\npa\x1Ath\r\ntransfer\r\n"));
    Settings settings{"old host", "old path", "old transfer"};
    ASSERT_TRUE(ReadSettingsFile(path, settings));
    ExpectSettings(settings, "host", "pa", "old transfer");
}

TEST(SettingsFileReading, MissingFileIsReportedAndChangesNothing) {
    const TempFolder folder;
    Settings settings{"h", "c", "t"};
    EXPECT_FALSE(ReadSettingsFile(folder.PathOf("config.txt"), settings));
    ExpectSettings(settings, "h", "c", "t");
    EXPECT_FALSE(test_support::Exists(folder.PathOf("config.txt")));
}

TEST(SettingsFileWriting, WritesExactlyThreeCrLfLines) {
    const TempFolder folder;
    const std::string path = folder.PathOf("config.txt");
    ASSERT_TRUE(WriteSettingsFile(path, Settings{}));
    EXPECT_EQ(ReadBytes(path), "\r\n\r\n\r\n");

    ASSERT_TRUE(WriteSettingsFile(path, Settings{"h", " c ", AUTODETECT_FAILED}));
    EXPECT_EQ(ReadBytes(path), "h\r\n c \r\nAutodetect Failed.\r\n");
}

TEST(SettingsFileWriting, FiveLineFileIsRewrittenAsThreeLines) {
    const TempFolder folder;
    const std::string path = folder.PathOf("config.txt");
    ASSERT_TRUE(WriteBytes(path, "1\n2\n3\n4\n5\n"));
    Settings settings;
    ASSERT_TRUE(ReadSettingsFile(path, settings));
    ASSERT_TRUE(WriteSettingsFile(path, settings));
    EXPECT_EQ(ReadBytes(path), "1\r\n2\r\n3\r\n");
}

TEST(SettingsFileWriting, RoundTripGivesBackTheSameValues) {
    const TempFolder folder;
    const std::string path = folder.PathOf("config.txt");
    const Settings written{"  codes.example.org", "/a b/%41/CODES.DAT ", "D:\\x\\dcomm2.exe\t"};
    ASSERT_TRUE(WriteSettingsFile(path, written));
    Settings read;
    ASSERT_TRUE(ReadSettingsFile(path, read));
    ExpectSettings(read, written.host, written.codesPath, written.transferPath);
}

TEST(SettingsFileWriting, FailedWriteLeavesTheOldFileWhole) {
    const TempFolder folder;
    const std::string path = folder.PathOf("config.txt");
    ASSERT_TRUE(WriteBytes(path, "old\r\n"));
    ASSERT_TRUE(platform::CreateFolderIfMissing(platform::TemporaryPathFor(path)));
    EXPECT_FALSE(WriteSettingsFile(path, Settings{"new", "new", "new"}));
    EXPECT_EQ(ReadBytes(path), "old\r\n");
}

TEST(TransferUtilityDetection, FirstCandidateThatOpensWins) {
    const TempFolder folder;
    const std::string first = folder.PathOf("d-dcomm2.exe");
    const std::string second = folder.PathOf("c-dcomm2.exe");
    const std::vector<std::string> candidates{first, second};

    EXPECT_EQ(DetectTransferUtility(candidates), AUTODETECT_FAILED);

    ASSERT_TRUE(WriteBytes(second, "MZ"));
    EXPECT_EQ(DetectTransferUtility(candidates), second);

    ASSERT_TRUE(WriteBytes(first, "MZ"));
    EXPECT_EQ(DetectTransferUtility(candidates), first);
    EXPECT_EQ(DetectTransferUtility(candidates), first);
}

TEST(TransferUtilityDetection, FolderOfTheSameNameDoesNotCount) {
    const TempFolder folder;
    const std::string first = folder.PathOf("dcomm2.exe");
    ASSERT_TRUE(platform::CreateFolderIfMissing(first));
    EXPECT_EQ(DetectTransferUtility({first}), AUTODETECT_FAILED);
}
