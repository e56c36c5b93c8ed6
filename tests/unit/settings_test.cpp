#include "settings/settings.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

using test_support::ReadBytes;
using test_support::WriteBytes;

TEST(SettingsFile, LinesReadAsTheyStandAreWrittenBackWithCrLf) {
    const test_support::TempFolder folder;
    const std::string path = folder.PathOf("config.txt");
    Settings settings;
    const struct {
        std::string disk, read, written;  // the values read, joined by "|"
    } rows[] = {
        // clang-format off
        {" h \r\n/d/C.DAT\t\r\nC:\\t.exe\r\n", " h |/d/C.DAT\t|C:\\t.exe", " h \r\n/d/C.DAT\t\r\nC:\\t.exe\r\n"},
        {" h \n/d/C.DAT\t\nC:\\t.exe\n",       " h |/d/C.DAT\t|C:\\t.exe", " h \r\n/d/C.DAT\t\r\nC:\\t.exe\r\n"},
        {"h\nc\r\nt",                          "h|c|t",                    "h\r\nc\r\nt\r\n"},
        {"www.example.com",                    "www.example.com||",        "www.example.com\r\n\r\n\r\n"},
        {"",                                   "||",                       "\r\n\r\n\r\n"},
        {"1\r\n2\r\n3\r\n4\r\n5\r\n",          "1|2|3",                    "1\r\n2\r\n3\r\n"},
        {"a\rb\r\nc\r\r\nd\r",                 "a\rb|c\r|d\r",             "a\rb\r\nc\r\r\nd\r\r\n"},
        {"host\r\npa\x1Ath\r\ntransfer\r\n",   "host|pa|",                 "host\r\npa\r\n\r\n"},
        // clang-format on
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(WriteBytes(path, row.disk));
        settings = Settings();
        LoadSettings(settings, path);
        EXPECT_EQ(settings.host + "|" + settings.codesPath + "|" + settings.transferPath, row.read)
            << row.disk;
        ASSERT_TRUE(SaveSettings(settings, path));
        EXPECT_EQ(ReadBytes(path), row.written) << row.disk;
    }
}
