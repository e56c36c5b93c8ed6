#include "settings/settings.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

using test_support::ReadBytes;
using test_support::TempFolder;
using test_support::WriteBytes;

TEST(SettingsFile, ReadingTakesThreeLinesOfEitherLineEndAsTheyStand) {
    const struct {
        std::string disk, host, codesPath, transferPath;
    } rows[] = {
        {" host \r\n/dir/C.DAT\t\r\nC:\\dcomm2.exe\r\n", " host ", "/dir/C.DAT\t",
         "C:\\dcomm2.exe"},
        {" host \n/dir/C.DAT\t\nC:\\dcomm2.exe\n", " host ", "/dir/C.DAT\t", "C:\\dcomm2.exe"},
        {"h\nc\r\nt", "h", "c", "t"},
        {"www.example.com", "www.example.com", "", ""},
        {"", "", "", ""},
        {"1\r\n2\r\n3\r\n4\r\n5\r\n", "1", "2", "3"},
        {"a\rb\r\nc\r\r\nd\r", "a\rb", "c\r", "d\r"},
        {"host\r\npa\x1Ath\r\ntransfer\r\n", "host", "pa", ""},  // Ctrl-Z ends the file
    };
    const TempFolder folder;
    const std::string path = folder.PathOf("config.txt");
    for (const auto& row : rows) {
        ASSERT_TRUE(WriteBytes(path, row.disk));
        std::string host, codesPath, transferPath;
        LoadSettings({host, codesPath, transferPath}, path);
        EXPECT_EQ(host + "|" + codesPath + "|" + transferPath,
                  row.host + "|" + row.codesPath + "|" + row.transferPath)
            << row.disk;
    }
    std::string host = "h", codesPath = "c", transferPath = "t";
    LoadSettings({host, codesPath, transferPath}, folder.PathOf("missing.txt"));
    EXPECT_EQ(host + codesPath + transferPath, "hct");
}

TEST(SettingsFile, WritingGivesThreeCrLfLinesThatReadBackTheSame) {
    const TempFolder folder;
    const std::string path = folder.PathOf("config.txt");
    std::string host, codesPath, transferPath;
    ASSERT_TRUE(SaveSettings({host, codesPath, transferPath}, path));
    EXPECT_EQ(ReadBytes(path), "\r\n\r\n\r\n");

    host = "  codes.example.org";
    codesPath = "/a b/%41/CODES.DAT ";
    transferPath = "Autodetect Failed.";
    ASSERT_TRUE(SaveSettings({host, codesPath, transferPath}, path));
    EXPECT_EQ(ReadBytes(path),
              "  codes.example.org\r\n/a b/%41/CODES.DAT \r\nAutodetect Failed.\r\n");
    std::string h, c, t;
    LoadSettings({h, c, t}, path);
    EXPECT_EQ(h + "|" + c + "|" + t, host + "|" + codesPath + "|" + transferPath);
}
