#include "codes/update_batch.h"
#include "platform/file_system.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

using test_support::Exists;
using test_support::ListFolder;
using test_support::ReadBytes;
using test_support::TempFolder;

namespace {

constexpr char UTILITY[] = "C:\\Program Files\\Dolphin File Transfer\\dcomm2.exe";
constexpr char FOLDER[] = "C:\\Tools\\";
constexpr char WORKING_COPY_TAIL[] = " /b=57600 \"C:\\Tools\\temp\\CODES.DAT\"";

}  // namespace

TEST(UpdateBatchLine, UtilityIsQuotedUnlessItHoldsAQuote) {
    EXPECT_EQ(UpdateBatchLine("C:\\DCOMM\\dcomm2.exe", FOLDER),
              std::string("\"C:\\DCOMM\\dcomm2.exe\"") + WORKING_COPY_TAIL);
    EXPECT_EQ(UpdateBatchLine(UTILITY, FOLDER),
              "\"" + std::string(UTILITY) + "\"" + WORKING_COPY_TAIL);
    // Typed already in quotes: written once, as typed.
    EXPECT_EQ(UpdateBatchLine("\"C:\\My Tools\\dcomm2.exe\"", FOLDER),
              std::string("\"C:\\My Tools\\dcomm2.exe\"") + WORKING_COPY_TAIL);
    // One quote anywhere, even in the middle, stops the quoting.
    EXPECT_EQ(UpdateBatchLine("C:\\My\"Tools\\dcomm2.exe", FOLDER),
              std::string("C:\\My\"Tools\\dcomm2.exe") + WORKING_COPY_TAIL);
    EXPECT_EQ(UpdateBatchLine("", FOLDER), std::string("\"\"") + WORKING_COPY_TAIL);
    EXPECT_EQ(UpdateBatchLine("Autodetect Failed.", FOLDER),
              std::string("\"Autodetect Failed.\"") + WORKING_COPY_TAIL);
}

TEST(UpdateBatchLine, PercentSignsAreDoubledInTheUtilityAndTheFolder) {
    EXPECT_EQ(UpdateBatchLine("C:\\100%\\dcomm2.exe", "D:\\%TEMP%\\"),
              "\"C:\\100%%\\dcomm2.exe\" /b=57600 \"D:\\%%TEMP%%\\temp\\CODES.DAT\"");
    // Doubling and the quoting rule are independent of each other.
    EXPECT_EQ(UpdateBatchLine("\"%%\"x", ""), "\"%%%%\"x /b=57600 \"temp\\CODES.DAT\"");
}

TEST(UpdateBatchLine, EmptyFolderNamesTheWorkingCopyRelatively) {
    EXPECT_EQ(UpdateBatchLine(UTILITY, ""),
              "\"" + std::string(UTILITY) + "\" /b=57600 \"temp\\CODES.DAT\"");
}

TEST(WriteUpdateBatch, FileHoldsTheLineAndCrLfAndNothingElse) {
    const TempFolder folder;
    const std::string path = folder.PathOf(UPDATE_BATCH_FILE);
    ASSERT_TRUE(WriteUpdateBatch(path, UTILITY, FOLDER));
    const std::string expected = "\"" + std::string(UTILITY) + "\"" + WORKING_COPY_TAIL + "\r\n";
    EXPECT_EQ(ReadBytes(path), expected);
    EXPECT_EQ(ReadBytes(path).size(), 88U);

    // A second update replaces the first file whole and leaves nothing else.
    ASSERT_TRUE(WriteUpdateBatch(path, "\"x\"", ""));
    EXPECT_EQ(ReadBytes(path), "\"x\" /b=57600 \"temp\\CODES.DAT\"\r\n");
    EXPECT_EQ(ListFolder(folder.Path()), "update.bat\n");
}

TEST(WriteUpdateBatch, UnwritableFileIsReportedAndAnOldOneKept) {
    const TempFolder folder;
    const std::string inMissingFolder =
        folder.PathOf("missing") + platform::PATH_SEPARATOR + UPDATE_BATCH_FILE;
    EXPECT_FALSE(WriteUpdateBatch(inMissingFolder, UTILITY, FOLDER));
    EXPECT_FALSE(Exists(folder.PathOf("missing")));

    const std::string path = folder.PathOf(UPDATE_BATCH_FILE);
    ASSERT_TRUE(WriteUpdateBatch(path, UTILITY, FOLDER));
    const std::string old = ReadBytes(path);
    ASSERT_TRUE(platform::CreateFolderIfMissing(platform::TemporaryPathFor(path)));
    EXPECT_FALSE(WriteUpdateBatch(path, "other.exe", FOLDER));
    EXPECT_EQ(ReadBytes(path), old);
}
