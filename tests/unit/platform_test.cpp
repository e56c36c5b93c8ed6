#include "platform/file_system.h"
#include "platform/text_file.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

using test_support::ListFolder;
using test_support::ReadBytes;
using test_support::TempFolder;
using test_support::WriteBytes;

TEST(TextMode, DiskBytesAndTextConvertBothWays) {
    const struct {
        std::string text, disk;
    } written[] = {
        {"a\nb\n", "a\r\nb\r\n"}, {"a\r\n\rb", "a\r\r\n\rb"}, {{"\0\n", 2}, {"\0\r\n", 3}}};
    for (const auto& row : written) {
        EXPECT_EQ(platform::ToDiskText(row.text), row.disk);
    }
    const struct {
        std::string disk, text;
    } read[] = {{"a\r\nb\nc", "a\nb\nc"},
                {"a\rb\r", "a\rb\r"},
                {"a\r\r\n", "a\r\n"},
                {"a\r\nb\x1A\r\nc", "a\nb"},
                {"a\r\x1A\n", "a\r"}};
    for (const auto& row : read) {
        EXPECT_EQ(platform::FromDiskText(row.disk), row.text) << row.disk;
    }
}

TEST(TextMode, LinesReadEndEachInOneLfAndTheFileEndAddsNothing) {
    const TempFolder folder;
    const std::string path = folder.PathOf("codes.txt");
    const struct {
        std::string disk, lines;
    } rows[] = {{"A\nB\n", "A\nB\n"},
                {"A\r\nB", "A\nB\n"},
                {"", ""},
                {"\r\n", "\n"},
                {"A\r\r\nB\x1A\r\nC", "A\r\nB\n"}};
    for (const auto& row : rows) {
        ASSERT_TRUE(WriteBytes(path, row.disk));
        std::string text = "stale";
        EXPECT_TRUE(platform::ReadTextLines(path, text));
        EXPECT_EQ(text, row.lines) << row.disk;
    }
    std::string text = "stale";
    EXPECT_FALSE(platform::ReadTextLines(folder.PathOf("missing.txt"), text));
    EXPECT_EQ(text, "");
}

TEST(ReplaceFileSafely, WritesExactBytesAndTouchesNoOtherFile) {
    const TempFolder folder;
    const std::string path = folder.PathOf("data.bin");
    // A user's file named as a temporary file might be.
    ASSERT_TRUE(WriteBytes(path + ".tmp", "the user's own"));
    const std::string first("first\0\r\n", 8);
    ASSERT_TRUE(platform::ReplaceFileSafely(path, first));
    EXPECT_EQ(ReadBytes(path), first);
    ASSERT_TRUE(platform::ReplaceFileSafely(path, "2"));
    EXPECT_EQ(ReadBytes(path), "2");
    EXPECT_EQ(ReadBytes(path + ".tmp"), "the user's own");
    EXPECT_EQ(ListFolder(folder.Path()), "data.bin\ndata.bin.tmp\n");
}

TEST(ReplaceFileSafely, FailureLeavesTheOldFileWholeAndNothingBehind) {
    const TempFolder folder;
    // A non-empty folder cannot be replaced by a file, nor a missing folder
    // hold one.
    const std::string target = folder.PathOf("target");
    ASSERT_TRUE(platform::CreateFolderIfMissing(target));
    ASSERT_TRUE(WriteBytes(target + platform::PATH_SEPARATOR + "inner", "x"));
    EXPECT_FALSE(platform::ReplaceFileSafely(target, "new"));
    EXPECT_FALSE(
        platform::ReplaceFileSafely(folder.PathOf("none") + platform::PATH_SEPARATOR + "f", "new"));
    // A write that fails part-way.
    const std::string path = folder.PathOf("data.bin");
    ASSERT_TRUE(WriteBytes(path, "old"));
    EXPECT_FALSE(platform::ReplaceFileSafelyWith(path, [](std::FILE* file) {
        std::fputs("partial", file);
        return false;
    }));
    EXPECT_EQ(ReadBytes(path), "old");
#ifdef _WIN32
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(platform::ReplaceFileSafely(path, "new"));
    EXPECT_EQ(ReadBytes(path), "old");
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
    EXPECT_EQ(ListFolder(folder.Path()), "data.bin\ntarget\n");
}

#ifndef _WIN32
TEST(ReplaceFileSafely, FullDiskLeavesTheOldFileWholeAndNoTemporaryFile) {
    const std::string disk = NORVALE_SMALL_DISK;
    if (!platform::CanOpenForReading(disk + "/small-disk-mounted")) {
        GTEST_SKIP() << "no small disk to fill: mounting one needs root";
    }
    const std::string path = disk + "/codes.dat";
    const std::string filler = disk + "/filler";
    ASSERT_TRUE(WriteBytes(path, "old\r\n"));
    std::FILE* file = std::fopen(filler.c_str(), "wb");
    ASSERT_NE(file, nullptr);
    const std::string block(4096, 'x');
    for (int i = 0; i < 4096 && std::fwrite(block.data(), 1, block.size(), file) == block.size() &&
                    std::fflush(file) == 0;
         ++i) {
    }
    std::fclose(file);
    EXPECT_FALSE(platform::ReplaceFileSafely(path, std::string(65536, 'n')));
    EXPECT_EQ(ReadBytes(path), "old\r\n");
    EXPECT_EQ(ListFolder(disk), "codes.dat\nfiller\nsmall-disk-mounted\n");
    std::remove(filler.c_str());
    std::remove(path.c_str());
}
#endif

TEST(FileSystem, FilesFoldersAndTheirNames) {
    const TempFolder folder;
    const std::string file = folder.PathOf("CODES.DAT");
    ASSERT_TRUE(WriteBytes(file, "same\r\n"));
    ASSERT_TRUE(WriteBytes(folder.PathOf("copy.dat"), "same\r\n"));
    EXPECT_TRUE(platform::CanOpenForReading(file));
    EXPECT_FALSE(platform::CanOpenForReading(folder.PathOf("absent.exe")));
    EXPECT_FALSE(platform::CanOpenForReading(folder.Path()));

    EXPECT_TRUE(platform::CreateFolderIfMissing(folder.PathOf("temp")));
    EXPECT_TRUE(platform::CreateFolderIfMissing(folder.PathOf("temp")));
    EXPECT_TRUE(platform::IsFolder(folder.PathOf("temp")));
    EXPECT_FALSE(platform::CreateFolderIfMissing(file));

    const std::string sep(1, platform::PATH_SEPARATOR);
    EXPECT_TRUE(platform::IsSameFile(file, folder.Path() + sep + "." + sep + "CODES.DAT"));
    EXPECT_FALSE(platform::IsSameFile(file, folder.PathOf("copy.dat")));  // equal bytes only
    EXPECT_FALSE(platform::IsSameFile(folder.PathOf("absent"), folder.PathOf("absent")));

    std::string executable;
    ASSERT_TRUE(platform::GetExecutablePath(executable));
    EXPECT_NE(executable.find("platform_test"), std::string::npos) << executable;
}
