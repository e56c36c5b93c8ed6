#include "codes/codes_file.h"
#include "codes/working_copy.h"
#include "platform/file_system.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

using test_support::Exists;
using test_support::ListFolder;
using test_support::ReadBytes;
using test_support::TempFolder;
using test_support::WriteBytes;

namespace {

std::string Join(const std::string& folder, const std::string& name) {
    return folder + platform::PATH_SEPARATOR + name;
}

}  // namespace

TEST(CopyCodesFile, CopyEndsEveryLineInCrLfAndASecondCopyChangesNothing) {
    struct Case {
        const char* name;
        std::string source;
        std::string copy;
    };
    const Case cases[] = {
        {"LF", "2024-01-31\nA100\nB200\n", "2024-01-31\r\nA100\r\nB200\r\n"},
        {"CR LF", "2024-01-31\r\nA100\r\n", "2024-01-31\r\nA100\r\n"},
        {"mixed", "2024-01-31\r\nA\nB\r\r\nC\rD\r\n", "2024-01-31\r\nA\r\nB\r\r\nC\rD\r\n"},
        {"empty", "", ""},
        {"no end", "2024-01-31\r\nA100", "2024-01-31\r\nA100\r\n"},
        {"Ctrl-Z", "2024-01-31\n\x1A junk", "2024-01-31\r\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const TempFolder folder;
        const std::string source = folder.PathOf("source.dat");
        const std::string first = folder.PathOf("first.dat");
        const std::string second = folder.PathOf("second.dat");
        ASSERT_TRUE(WriteBytes(source, c.source));
        std::string text;
        ASSERT_EQ(CopyCodesFile(source, first, text), CopyResult::Ok);
        EXPECT_EQ(ReadBytes(first), c.copy);
        EXPECT_EQ(ReadBytes(source), c.source);
        ASSERT_EQ(CopyCodesFile(first, second, text), CopyResult::Ok);
        EXPECT_EQ(ReadBytes(second), c.copy);
    }
}

TEST(CopyCodesFile, CopyReplacesAnExistingFileWhole) {
    const TempFolder folder;
    const std::string source = folder.PathOf("source.dat");
    const std::string destination = folder.PathOf("destination.dat");
    ASSERT_TRUE(WriteBytes(source, "new\n"));
    ASSERT_TRUE(WriteBytes(destination, "a much longer old file\r\nwith two lines\r\n"));
    std::string text;
    EXPECT_EQ(CopyCodesFile(source, destination, text), CopyResult::Ok);
    EXPECT_EQ(text, "new\n");
    EXPECT_EQ(ReadBytes(destination), "new\r\n");
    EXPECT_EQ(ListFolder(folder.Path()), "destination.dat\nsource.dat\n");
}

TEST(CopyCodesFile, UnreadableSourceLeavesTheDestinationAlone) {
    const TempFolder folder;
    const std::string absentDestination = folder.PathOf("absent.dat");
    const std::string destination = folder.PathOf("destination.dat");
    ASSERT_TRUE(WriteBytes(destination, "old\r\n"));
    ASSERT_TRUE(platform::CreateFolderIfMissing(folder.PathOf("a folder")));

    for (const std::string& source : {folder.PathOf("missing.dat"), folder.PathOf("a folder")}) {
        SCOPED_TRACE(source);
        std::string text = "stale";
        EXPECT_EQ(CopyCodesFile(source, absentDestination, text), CopyResult::ReadFailed);
        EXPECT_EQ(text, "");
        EXPECT_FALSE(Exists(absentDestination));
        EXPECT_EQ(CopyCodesFile(source, destination, text), CopyResult::ReadFailed);
        EXPECT_EQ(ReadBytes(destination), "old\r\n");
    }
    EXPECT_EQ(ListFolder(folder.Path()), "a folder\ndestination.dat\n");
}

TEST(CopyCodesFile, UnwritableDestinationIsReportedAndAnOldOneKeptWhole) {
    const TempFolder folder;
    const std::string source = folder.PathOf("source.dat");
    const std::string destination = folder.PathOf("destination.dat");
    ASSERT_TRUE(WriteBytes(source, "2024-01-31\n"));
    ASSERT_TRUE(WriteBytes(destination, "old\r\n"));
    // A folder in the way of the temporary file makes the write fail.
    ASSERT_TRUE(platform::CreateFolderIfMissing(platform::TemporaryPathFor(destination)));
    std::string text;
    EXPECT_EQ(CopyCodesFile(source, destination, text), CopyResult::WriteFailed);
    EXPECT_EQ(ReadBytes(destination), "old\r\n");

    EXPECT_EQ(CopyCodesFile(source, Join(folder.PathOf("missing"), "new.dat"), text),
              CopyResult::WriteFailed);
    EXPECT_FALSE(Exists(folder.PathOf("missing")));
}

TEST(CopyCodesFile, CopyOntoItselfLeavesEveryByte) {
    const TempFolder folder;
    const std::string path = folder.PathOf("CODES.DAT");
    // Bytes that a line copy would change: a last line without a line end,
    // a CR before CR LF, a bare LF, a Ctrl-Z with bytes after it.
    const std::string bytes = "2024-01-31\r\nA\r\r\nB\nC\x1A tail";
    ASSERT_TRUE(WriteBytes(path, bytes));
    const std::string respelled = Join(Join(folder.Path(), "."), "CODES.DAT");
    std::string text;
    EXPECT_EQ(CopyCodesFile(path, path, text), CopyResult::Ok);
    EXPECT_EQ(CopyCodesFile(path, respelled, text), CopyResult::Ok);
    EXPECT_EQ(text, "2024-01-31\nA\r\nB\nC\n");
    EXPECT_EQ(ReadBytes(path), bytes);
    EXPECT_EQ(ListFolder(folder.Path()), "CODES.DAT\n");
}

TEST(OpenCodesFile, WorkingCopyFolderIsCreatedWhenMissing) {
    const TempFolder folder;
    const std::string chosen = folder.PathOf("chosen.dat");
    const std::string workingCopy = WorkingCopyPathIn(folder.Path() + platform::PATH_SEPARATOR);
    ASSERT_TRUE(WriteBytes(chosen, "2024-01-31\nA100"));
    std::string text;
    ASSERT_EQ(OpenCodesFile(chosen, workingCopy, text), CopyResult::Ok);
    EXPECT_EQ(ReadBytes(workingCopy), "2024-01-31\r\nA100\r\n");
    EXPECT_EQ(ListFolder(folder.PathOf("temp")), "CODES.DAT\n");

    // A file where the folder should be: the write fails and the file stays.
    const TempFolder blocked;
    ASSERT_TRUE(WriteBytes(blocked.PathOf("temp"), "not a folder"));
    EXPECT_EQ(
        OpenCodesFile(chosen, WorkingCopyPathIn(blocked.Path() + platform::PATH_SEPARATOR), text),
        CopyResult::WriteFailed);
    EXPECT_EQ(ReadBytes(blocked.PathOf("temp")), "not a folder");
}

TEST(CodesFileStatusText, OpenShowsTheDateLineOrWhatFailed) {
    const std::string chosen = "C:\\Data\\CODES.DAT";
    const std::string workingCopy = "C:\\Tools\\temp\\CODES.DAT";
    const std::string ready = "\r\nReady to perform update.";
    EXPECT_EQ(OpenStatusText(CopyResult::Ok, chosen, workingCopy, "2024-01-31\nA100\n"),
              "File read.\r\nCurrent Building Code date: 2024-01-31" + ready);
    EXPECT_EQ(OpenStatusText(CopyResult::Ok, chosen, workingCopy, ""),
              "File read.\r\nCurrent Building Code date: " + ready);
    // A CR kept before the line end (CR CR LF on disk) is not shown.
    EXPECT_EQ(OpenStatusText(CopyResult::Ok, chosen, workingCopy, "2024-01-31\r\n"),
              "File read.\r\nCurrent Building Code date: 2024-01-31" + ready);
    EXPECT_EQ(OpenStatusText(CopyResult::ReadFailed, chosen, workingCopy, ""),
              "Cannot read codes file:\r\nC:\\Data\\CODES.DAT");
    EXPECT_EQ(OpenStatusText(CopyResult::WriteFailed, chosen, workingCopy, "2024-01-31\n"),
              "Cannot write the working copy:\r\nC:\\Tools\\temp\\CODES.DAT");
}

TEST(CodesFileStatusText, SaveNamesTheFileThatMatters) {
    const std::string workingCopy = "C:\\Tools\\temp\\CODES.DAT";
    const std::string chosen = "C:\\Backup\\CODES.DAT";
    EXPECT_EQ(SaveStatusText(CopyResult::Ok, workingCopy, chosen),
              "Saved codes to:\r\nC:\\Backup\\CODES.DAT");
    EXPECT_EQ(SaveStatusText(CopyResult::ReadFailed, workingCopy, chosen),
              "Cannot read the working copy:\r\nC:\\Tools\\temp\\CODES.DAT");
    EXPECT_EQ(SaveStatusText(CopyResult::WriteFailed, workingCopy, chosen),
              "Cannot save codes to:\r\nC:\\Backup\\CODES.DAT");
}
