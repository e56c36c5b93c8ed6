#include "platform/code_page.h"
#include "platform/file_system.h"
#include "platform/text_file.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <optional>

#ifdef _WIN32
#include <windows.h>

#include <chrono>
#include <thread>
#else
#include <sys/resource.h>
#endif

using namespace test_support;

TEST(TextMode, ReadingTurnsDiskBytesIntoLines) {
    const TempFolder folder;
    const std::string path = folder.PathOf("codes.txt");
    // clang-format off
    const struct { std::string disk, lines; } read[] = {
        {"a\r\nb\nc", "a\nb\nc\n"}, {"a\rb\r", "a\rb\r\n"}, {"a\r\r\n", "a\r\n"}, {"a\r\nb\x1A\r\nc", "a\nb\n"},
        {"a\r\x1A\n", "a\r\n"}, {"", ""},
    };
    // clang-format on
    for (const auto& row : read) {
        ASSERT_TRUE(WriteBytes(path, row.disk));
        std::string lines = "stale";
        EXPECT_TRUE(platform::ReadTextLines(path, lines));
        EXPECT_EQ(lines, row.lines) << row.disk;
    }
}

#ifndef _WIN32
// A folder opens as a stream here, but reading it fails: that is no read of
// an empty file.
TEST(TextMode, AReadErrorIsAFailedRead) {
    const TempFolder folder;
    std::string lines = "stale";
    EXPECT_FALSE(platform::ReadTextLines(folder.Path(), lines));
    EXPECT_EQ(lines, "");
}
#endif

// A folder holding data.bin with `OLD` in it, and a user's own data.bin.tmp.
class ReplaceFileSafely : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(WriteBytes(path + ".tmp", "the user's own"));
        ASSERT_TRUE(platform::ReplaceFileSafely(path, "first"));
        ASSERT_TRUE(platform::ReplaceFileSafely(path, OLD));
    }
    const std::string OLD{"2\0\r\n", 4};
    const TempFolder folder;
    const std::string path = folder.PathOf("data.bin");
};

TEST_F(ReplaceFileSafely, WritesTheExactBytesAndLeavesOtherFilesAlone) {
    EXPECT_EQ(ReadBytes(path), OLD);
    EXPECT_EQ(ReadBytes(path + ".tmp"), "the user's own");
    EXPECT_EQ(CountEntries(folder.Path()), 2);
}

TEST_F(ReplaceFileSafely, AFailedWriteLeavesTheOldFileWhole) {
    // A non-empty folder cannot be replaced by a file; a write fails.
    const std::string target = folder.PathOf("target");
    ASSERT_TRUE(platform::CreateFolderIfMissing(target));
    ASSERT_TRUE(WriteBytes(target + platform::PATH_SEPARATOR + "inner", "x"));
    EXPECT_FALSE(platform::ReplaceFileSafely(target, "new"));
    EXPECT_FALSE(platform::ReplaceFileSafelyWith(path, [](std::FILE*) { return false; }));
#ifdef _WIN32
    ASSERT_TRUE(SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_READONLY));
    EXPECT_FALSE(platform::ReplaceFileSafely(path, "new"));
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
#else
    // A disk that fills up: the bytes fit the stream's buffer, so only
    // pushing them to the disk fails.
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    const rlimit small{100, limit.rlim_max};
    const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    setrlimit(RLIMIT_FSIZE, &small);
    const bool replaced = platform::ReplaceFileSafely(path, std::string(1000, 'n'));
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, oldHandler);
    EXPECT_FALSE(replaced);
#endif
    EXPECT_EQ(ReadBytes(path), OLD);
    EXPECT_EQ(CountEntries(folder.Path()), 3);  // data.bin, data.bin.tmp, target
}

#ifdef _WIN32
// Another program (a scanner) holds data.bin open without sharing its
// deletion: for good, the replacement fails as it always did; for a moment,
// it waits and succeeds. Nothing is left behind either way.
TEST_F(ReplaceFileSafely, AFileHeldForAMomentIsReplacedOneHeldForGoodIsNot) {
    const HANDLE held = CreateFileW(platform::WideFromText(path).c_str(), GENERIC_READ,
                                    FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    EXPECT_FALSE(platform::ReplaceFileSafely(path, "new"));
    EXPECT_EQ(ReadBytes(path), OLD);
    EXPECT_EQ(CountEntries(folder.Path()), 2);

    std::thread scanner([held] {
        std::this_thread::sleep_for(std::chrono::milliseconds(300));
        CloseHandle(held);
    });
    EXPECT_TRUE(platform::ReplaceFileSafely(path, "new"));
    scanner.join();
    EXPECT_EQ(ReadBytes(path), "new");
    EXPECT_EQ(CountEntries(folder.Path()), 2);
}
#endif

// Folders named in any script, one with letters whose second byte in code
// page 932 is a backslash (0x5C), hold their files: a file named from the
// folder the program starts in is in that folder. Also run under code page
// 932 (NORVALE_TEST_ANSI_CODE_PAGE says which the run is meant to have).
TEST(FileSystem, FoldersNamedInAnyScriptHoldTheirFiles) {
#ifdef _WIN32
    if (const char* codePage = std::getenv("NORVALE_TEST_ANSI_CODE_PAGE")) {
        ASSERT_EQ(GetACP(), std::strtoul(codePage, nullptr, 10));
    }
#endif
    const TempFolder folder;
    std::string started;
    ASSERT_TRUE(platform::GetCurrentFolder(started));
    // Dvořák, Дмитрий, 表ソ.
    for (const char* name :
         {"Dvo\xC5\x99\xC3\xA1k", "\xD0\x94\xD0\xBC\xD0\xB8\xD1\x82\xD1\x80\xD0\xB8\xD0\xB9",
          "\xE8\xA1\xA8\xE3\x82\xBD"}) {
        const std::string inside = folder.PathOf(name);
        ASSERT_TRUE(platform::CreateFolderIfMissing(inside)) << name;
        fs::current_path(FsPath(inside));
        const std::string config = platform::InCurrentFolder("config.txt");
        EXPECT_EQ(config,
                  folder.PathOf(name + std::string(1, platform::PATH_SEPARATOR) + "config.txt"));
        EXPECT_TRUE(platform::WriteTextFileSafely(config, "a\n"));
        std::string text;
        EXPECT_TRUE(platform::ReadTextLines(config, text));
        EXPECT_EQ(text, "a\n");
        EXPECT_EQ(ReadBytes(folder.PathOf(name) + platform::PATH_SEPARATOR + "config.txt"),
                  "a\r\n");
    }
    fs::current_path(FsPath(started));
}

TEST(FileSystem, AFolderCannotBeOpenedForReading) {
    const TempFolder folder;
    ASSERT_TRUE(WriteBytes(folder.PathOf("a"), "codes"));
    EXPECT_TRUE(platform::CanOpenForReading(folder.PathOf("a")));
    EXPECT_FALSE(platform::CanOpenForReading(folder.Path()));
}

TEST(FileSystem, TwoFilesOfEqualBytesAreNotTheSameFile) {
    const TempFolder folder;
    ASSERT_TRUE(WriteBytes(folder.PathOf("a"), "same") && WriteBytes(folder.PathOf("b"), "same"));
    EXPECT_FALSE(platform::IsSameFile(folder.PathOf("a"), folder.PathOf("b")));
}

TEST(FileSystem, SameFileNeedsANonZeroNumberAndEveryFieldToAgree) {
    using platform::FileIdentity;
    // Some file systems number every file 0: that tells two files apart by nothing.
    constexpr bool KNOWN = true;
    const FileIdentity one{KNOWN, 7, 42, 100, 5}, unnumbered{KNOWN, 7, 0, 100, 5};
    EXPECT_TRUE(platform::IsSameIdentity(one, one));
    EXPECT_FALSE(platform::IsSameIdentity(unnumbered, unnumbered));
    EXPECT_FALSE(platform::IsSameIdentity(one, {KNOWN, 7, 42, 100, 6}));
}

TEST(CodePage, OnlyTheCodePagesThatRefuseFlagsAreConvertedWithout) {
    // clang-format off
    const std::pair<unsigned, bool> rows[] = {{437, false}, {850, false}, {1252, false}, {932, false}, {42, true},
        {50220, true}, {50229, true}, {50230, false}, {52936, true}, {54936, true}, {57002, true}, {57011, true},
        {57012, false}, {65000, true}, {65001, true}};
    // clang-format on
    for (const auto& [codePage, withoutFlags] : rows) {
        EXPECT_EQ(platform::ConvertsOnlyWithoutFlags(codePage), withoutFlags) << codePage;
    }
}

#ifdef _WIN32
TEST(CodePage, ConvertedTextHasNoLookAlikes) {
    constexpr unsigned ANSI = 1252, OEM = 437, UTF8 = 65001;
    // clang-format off
    const struct { unsigned from, to; std::string text; std::optional<std::string> converted; } rows[] = {
        {ANSI, OEM, "C:\\Tools\\dcomm2.exe", "C:\\Tools\\dcomm2.exe"}, {ANSI, OEM, "C:\\Users\\Zo\xEB\\", "C:\\Users\\Zo\x89\\"},
        {ANSI, OEM, "\xC9t\xE9 \xFC\xF1", "\x90t\x82 \x81\xA4"}, {ANSI, OEM, "Euro \x80", std::nullopt},
        {ANSI, OEM, "\xC3 has a look-alike A", std::nullopt},
        {ANSI, UTF8, "C:\\Users\\Zo\xEB\\ \x80", "C:\\Users\\Zo\xC3\xAB\\ \xE2\x82\xAC"}, {UTF8, UTF8, "Zo\xC3\xAB", "Zo\xC3\xAB"},
        {UTF8, OEM, "Zo\xC3\xAB", "Zo\x89"}, {UTF8, OEM, "\xE2\x82\xAC", std::nullopt}};
    // clang-format on
    for (const auto& row : rows) {
        std::string converted;
        EXPECT_EQ(platform::ConvertText(row.text, row.from, row.to, converted),
                  row.converted.has_value())
            << row.text << " into " << row.to;
        EXPECT_EQ(converted, row.converted.value_or("")) << row.text << " into " << row.to;
    }
}
#endif
