#include "platform/file_system.h"
#include "platform/text_file.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

using test_support::Exists;
using test_support::ListFolder;
using test_support::ReadBytes;
using test_support::TempFolder;
using test_support::WriteBytes;

TEST(TextMode, WritingTurnsEveryLfIntoCrLf) {
    EXPECT_EQ(platform::ToDiskText("a\nb\n"), "a\r\nb\r\n");
    // A CR already before an LF in memory is kept, so it reaches the disk doubled.
    EXPECT_EQ(platform::ToDiskText("a\r\n\rb"), "a\r\r\n\rb");
    EXPECT_EQ(platform::ToDiskText(std::string("\0\n", 2)), std::string("\0\r\n", 3));
}

TEST(TextMode, ReadingJoinsCrLfKeepsLoneCrAndStopsAtCtrlZ) {
    EXPECT_EQ(platform::FromDiskText("a\r\nb\nc"), "a\nb\nc");
    EXPECT_EQ(platform::FromDiskText("a\rb\r"), "a\rb\r");
    EXPECT_EQ(platform::FromDiskText("a\r\r\n"), "a\r\n");
    EXPECT_EQ(platform::FromDiskText("a\r\nb\x1A\r\nc"), "a\nb");
    EXPECT_EQ(platform::FromDiskText("\x1A"), "");
    // A CR just before the Ctrl-Z has no LF after it and stays.
    EXPECT_EQ(platform::FromDiskText("a\r\x1A\n"), "a\r");
}

TEST(ReplaceFileSafely, CreatesAndReplacesWithExactBytesAndLeavesNoTemporaryFile) {
    const TempFolder folder;
    const std::string path = folder.PathOf("data.bin");
    const std::string first("first\0\r\n", 8);
    ASSERT_TRUE(platform::ReplaceFileSafely(path, first));
    EXPECT_EQ(ReadBytes(path), first);

    ASSERT_TRUE(platform::ReplaceFileSafely(path, "2"));
    EXPECT_EQ(ReadBytes(path), "2");
    EXPECT_EQ(ListFolder(folder.Path()), "data.bin\n");
}

TEST(ReplaceFileSafely, FailureLeavesTheOldFileWholeAndNoTemporaryFile) {
    const TempFolder folder;
    const std::string path = folder.PathOf("data.bin");
    ASSERT_TRUE(WriteBytes(path, "old content\r\n"));

    // A folder in the way of the temporary file makes the write fail.
    const std::string temporary = platform::TemporaryPathFor(path);
    ASSERT_TRUE(platform::CreateFolderIfMissing(temporary));
    EXPECT_FALSE(platform::ReplaceFileSafely(path, "new"));
    EXPECT_EQ(ReadBytes(path), "old content\r\n");
    EXPECT_TRUE(platform::IsFolder(temporary));
}

TEST(ReplaceFileSafely, FailsWithoutLeftoversWhenTheFileCannotBePutInPlace) {
    const TempFolder folder;
    // A non-empty folder cannot be replaced by a file.
    const std::string path = folder.PathOf("target");
    ASSERT_TRUE(platform::CreateFolderIfMissing(path));
    ASSERT_TRUE(WriteBytes(folder.PathOf("target") + platform::PATH_SEPARATOR + "inner", "x"));
    EXPECT_FALSE(platform::ReplaceFileSafely(path, "new"));
    EXPECT_EQ(ListFolder(folder.Path()), "target\n");

    EXPECT_FALSE(platform::ReplaceFileSafely(
        folder.PathOf("no-such-folder") + platform::PATH_SEPARATOR + "file", "new"));
    EXPECT_EQ(ListFolder(folder.Path()), "target\n");
}

#ifdef _WIN32
TEST(ReplaceFileSafely, LeavesAReadOnlyFileAlone) {
    const TempFolder folder;
    const std::string path = folder.PathOf("kept.bin");
    ASSERT_TRUE(WriteBytes(path, "kept"));
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(platform::ReplaceFileSafely(path, "new"));
    EXPECT_EQ(ReadBytes(path), "kept");
    EXPECT_EQ(ListFolder(folder.Path()), "kept.bin\n");
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
}
#endif

#ifndef _WIN32
TEST(ReplaceFileSafely, FullDiskLeavesTheOldFileWholeAndNoTemporaryFile) {
    const std::string disk = NORVALE_SMALL_DISK;
    if (!platform::CanOpenForReading(disk + "/small-disk-mounted")) {
        GTEST_SKIP() << "no small disk to fill: mounting one needs root";
    }
    const std::string path = disk + "/codes.dat";
    const std::string filler = disk + "/filler";
    ASSERT_TRUE(WriteBytes(path, "old\r\n"));
    {
        // Fill the disk to the last byte.
        std::FILE* file = std::fopen(filler.c_str(), "wb");
        ASSERT_NE(file, nullptr);
        const std::string block(4096, 'x');
        constexpr int kMaxBlocks = 4096;  // more than the disk holds
        for (int i = 0; i < kMaxBlocks; ++i) {
            if (std::fwrite(block.data(), 1, block.size(), file) != block.size() ||
                std::fflush(file) != 0) {
                break;
            }
        }
        std::fclose(file);
    }
    EXPECT_FALSE(platform::ReplaceFileSafely(path, std::string(65536, 'n')));
    EXPECT_EQ(ReadBytes(path), "old\r\n");
    EXPECT_FALSE(platform::CanOpenForReading(platform::TemporaryPathFor(path)));
    std::remove(filler.c_str());
    std::remove(path.c_str());
}
#endif

TEST(FileSystem, OpenForReadingCountsFilesOnly) {
    const TempFolder folder;
    const std::string file = folder.PathOf("present.exe");
    ASSERT_TRUE(WriteBytes(file, ""));
    EXPECT_TRUE(platform::CanOpenForReading(file));
    EXPECT_FALSE(platform::CanOpenForReading(folder.PathOf("absent.exe")));
    EXPECT_FALSE(platform::CanOpenForReading(folder.Path()));
}

TEST(FileSystem, CreateFolderIfMissing) {
    const TempFolder folder;
    const std::string path = folder.PathOf("temp");
    EXPECT_TRUE(platform::CreateFolderIfMissing(path));
    EXPECT_TRUE(platform::IsFolder(path));
    EXPECT_TRUE(platform::CreateFolderIfMissing(path));

    const std::string file = folder.PathOf("file");
    ASSERT_TRUE(WriteBytes(file, "x"));
    EXPECT_FALSE(platform::CreateFolderIfMissing(file));
    EXPECT_EQ(ReadBytes(file), "x");
}

TEST(FileSystem, SameFileHoweverThePathIsSpelled) {
    const TempFolder folder;
    const std::string file = folder.PathOf("CODES.DAT");
    const std::string twin = folder.PathOf("copy.dat");
    ASSERT_TRUE(WriteBytes(file, "same\r\n"));
    ASSERT_TRUE(WriteBytes(twin, "same\r\n"));
    const std::string respelled =
        folder.Path() + platform::PATH_SEPARATOR + "." + platform::PATH_SEPARATOR + "CODES.DAT";
    EXPECT_TRUE(platform::IsSameFile(file, file));
    EXPECT_TRUE(platform::IsSameFile(file, respelled));
    // Equal content does not make two files one.
    EXPECT_FALSE(platform::IsSameFile(file, twin));
    const std::string absent = folder.PathOf("absent.dat");
    EXPECT_FALSE(platform::IsSameFile(absent, absent));
    EXPECT_FALSE(platform::IsSameFile(file, absent));
}

TEST(FileSystem, ExecutablePathNamesThisTestProgram) {
    std::string path;
    ASSERT_TRUE(platform::GetExecutablePath(path));
    EXPECT_NE(path.find("platform_test"), std::string::npos) << path;
    EXPECT_TRUE(platform::CanOpenForReading(path)) << path;
}
