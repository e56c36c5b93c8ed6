#include "codes/reply_check.h"
#include "codes/retrieve.h"
#include "codes/working_copy.h"
#include "net/fetch_client.h"
#include "platform/file_system.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

using test_support::ListFolder;
using test_support::LoopbackServer;
using test_support::ReadBytes;
using test_support::ServerStep;
using test_support::TempFolder;
using test_support::WriteBytes;

namespace {

constexpr char LOOPBACK[] = "127.0.0.1";
constexpr std::chrono::milliseconds TEST_TIMEOUT{5000};
constexpr char HEADER[] = "HTTP/1.1 200 OK\r\nServer: test\r\n\r\n";

ReplyCheck Check(const std::string& reply) {
    return CheckReply(reply.data(), reply.size());
}

void ExpectAccepted(const std::string& reply, const std::string& body) {
    const ReplyCheck check = Check(reply);
    ASSERT_TRUE(check.accepted) << reply;
    EXPECT_EQ(reply.substr(check.bodyStart), body) << reply;
}

void ExpectRejected(const std::string& reply) {
    EXPECT_FALSE(Check(reply).accepted) << reply;
}

}  // namespace

TEST(ReplyCheck, SuccessStatusOfEitherHttp1VersionWithAnyReason) {
    ExpectAccepted("HTTP/1.0 200 OK\r\n\r\nbody", "body");
    ExpectAccepted("HTTP/1.1 200 Ok\r\nServer: nginx\r\n\r\nbody", "body");
    ExpectAccepted("HTTP/1.1 200\r\n\r\nbody", "body");
    ExpectAccepted("HTTP/1.0 200 \r\n\r\n", "");
}

TEST(ReplyCheck, AnythingButA200StatusLineIsRejected) {
    ExpectRejected("");
    ExpectRejected("HTTP/1.0 404 Not Found\r\n\r\nHTTP/1.0 200 OK\r\n\r\n");
    ExpectRejected("2024-01-31\r\nHTTP/1.0 200 OK\r\n\r\n");
    ExpectRejected("HTTP/1.1 2000 OK\r\n\r\nbody");
    ExpectRejected("HTTP/1.1 20 OK\r\n\r\nbody");
    ExpectRejected("HTTP/2 200 OK\r\n\r\nbody");
    ExpectRejected("HTTP/1.x 200 OK\r\n\r\nbody");
    ExpectRejected("HTTP/1.1  200 OK\r\n\r\nbody");
    ExpectRejected("http/1.1 200 OK\r\n\r\nbody");
    ExpectRejected(" HTTP/1.1 200 OK\r\n\r\nbody");
    ExpectRejected("HTTP/1.1 200");
}

TEST(ReplyCheck, HeaderEndsAtTheFirstEmptyLineOfEitherLineEnd) {
    ExpectAccepted("HTTP/1.0 200 OK\nA: b\n\nline 1\n\nline 3\n", "line 1\n\nline 3\n");
    ExpectAccepted("HTTP/1.0 200 OK\r\nA: b\n\r\nx\r\n\r\ny", "x\r\n\r\ny");
    // A line holding only a CR that is not before an LF is not empty.
    ExpectAccepted("HTTP/1.0 200 OK\r\nA: \r\r\n\r\nx", "x");
    ExpectRejected("HTTP/1.0 200 OK\r\nA: b\r\n");
    ExpectRejected("HTTP/1.0 200 OK\r\nA: b\r\n\r");
    ExpectRejected("HTTP/1.0 200 OK");
}

TEST(ReplyCheck, EncodedBodiesAreRejected) {
    ExpectRejected(std::string(HEADER, 17) +
                   "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n");
    ExpectRejected(std::string(HEADER, 17) + "transfer-encoding: identity\r\n\r\nbody");
    ExpectRejected(std::string(HEADER, 17) + "Content-Encoding: gzip\r\n\r\nbody");
    ExpectRejected(std::string(HEADER, 17) + "Content-Encoding: identity, gzip\r\n\r\nbody");
    ExpectAccepted(std::string(HEADER, 17) + "CONTENT-ENCODING:  Identity \r\n\r\nbody", "body");
    // The names must stand at the start of a header line to count.
    ExpectAccepted(std::string(HEADER, 17) + "X-Transfer-Encoding: chunked\r\n\r\nbody", "body");
    ExpectAccepted(std::string(HEADER, 17) + "\r\nTransfer-Encoding: chunked\r\n",
                   "Transfer-Encoding: chunked\r\n");
    // Blanks before the colon do not hide the field.
    ExpectRejected(std::string(HEADER, 17) + "Transfer-Encoding \t: chunked\r\n\r\nbody");
}

TEST(ReplyCheck, ContentLengthMustBeAPlainNumberEqualToTheBodyLength) {
    const std::string status = "HTTP/1.1 200 OK\r\n";
    ExpectAccepted(status + "Content-Length: 4\r\n\r\nbody", "body");
    ExpectAccepted(status + "content-length:4\r\nContent-Length: 4 \r\n\r\nbody", "body");
    ExpectAccepted(status + "Content-Length: 0\r\n\r\n", "");
    ExpectAccepted(status + "Content-Length: 0004\r\n\r\nbody", "body");
    ExpectRejected(status + "Content-Length: 10\r\n\r\nbody");
    ExpectRejected(status + "Content-Length: 3\r\n\r\nbody");
    ExpectRejected(status + "Content-Length: 4\r\nContent-Length: 5\r\n\r\nbody");
    ExpectRejected(status + "Content-Length: +4\r\n\r\nbody");
    ExpectRejected(status + "Content-Length: 4x\r\n\r\nbody");
    ExpectRejected(status + "Content-Length: 4, 4\r\n\r\nbody");
    ExpectRejected(status + "Content-Length :\\4\r\n\r\nbody");
    ExpectRejected(status + "Content-Length : 10\r\n\r\nbody");
    ExpectRejected(status + "Content-Length: \r\n\r\nbody");
    ExpectRejected(status + "Content-Length: 99999999999999999999999999\r\n\r\nbody");
    // NUL bytes of the body count towards its length.
    ExpectAccepted(status + "Content-Length: 3\r\n\r\n" + std::string("a\0b", 3),
                   std::string("a\0b", 3));
}

TEST(WorkingCopyLocation, ProgramFolderIsEverythingUpToTheLastSeparator) {
    EXPECT_EQ(ProgramFolderOf("D:\\Norvale.exe.old\\Norvale.exe"), "D:\\Norvale.exe.old\\");
    EXPECT_EQ(ProgramFolderOf("C:\\TOOLS\\NORVALE.EXE"), "C:\\TOOLS\\");
    EXPECT_EQ(ProgramFolderOf("C:\\Tools\\Renamed.exe"), "C:\\Tools\\");
    EXPECT_EQ(ProgramFolderOf("/opt/norvale/bin/norvale"), "/opt/norvale/bin/");
    EXPECT_EQ(ProgramFolderOf("Norvale.exe"), "");
}

TEST(WorkingCopyLocation, WorkingCopyLiesInTempBesideTheRunningProgram) {
    const std::string folder = GetProgramFolder();
    ASSERT_FALSE(folder.empty());
    std::string executable;
    ASSERT_TRUE(platform::GetExecutablePath(executable));
    EXPECT_EQ(executable.substr(0, folder.size()), folder);
    EXPECT_EQ(executable.find_first_of("\\/", folder.size()), std::string::npos);

    const std::string expected = std::string("temp") + platform::PATH_SEPARATOR + "CODES.DAT";
    EXPECT_EQ(GetWorkingCopyPath(), folder + expected);
}

TEST(LineCopy, ReadingGivesOneLfPerLineAndNothingForTheEnd) {
    const TempFolder folder;
    const std::string path = folder.PathOf("codes.txt");
    const auto read = [&](const std::string& bytes) {
        EXPECT_TRUE(WriteBytes(path, bytes));
        std::string text = "stale";
        EXPECT_TRUE(ReadTextFileByLines(path, text));
        return text;
    };
    EXPECT_EQ(read("A\nB\n"), "A\nB\n");
    EXPECT_EQ(read("A\r\nB"), "A\nB\n");
    EXPECT_EQ(read(""), "");
    EXPECT_EQ(read("\r\n"), "\n");
    EXPECT_EQ(read("A\r\r\nB\x1A\r\nC"), "A\r\nB\n");

    std::string text = "stale";
    EXPECT_FALSE(ReadTextFileByLines(folder.PathOf("missing.txt"), text));
    EXPECT_EQ(text, "");
}

TEST(LineCopy, CopyingTwiceGivesTheSameBytesAsCopyingOnce) {
    const TempFolder folder;
    const std::string source = folder.PathOf("source.txt");
    const std::string first = folder.PathOf("first.txt");
    const std::string second = folder.PathOf("second.txt");
    ASSERT_TRUE(WriteBytes(source, "2024-01-31\nA\r\r\nB\r\nC"));

    std::string text;
    ASSERT_TRUE(ReadTextFileByLines(source, text));
    ASSERT_TRUE(WriteTextFile(first, text));
    ASSERT_TRUE(ReadTextFileByLines(first, text));
    ASSERT_TRUE(WriteTextFile(second, text));
    EXPECT_EQ(ReadBytes(first), "2024-01-31\r\nA\r\r\nB\r\nC\r\n");
    EXPECT_EQ(ReadBytes(second), ReadBytes(first));
}

TEST(LineCopy, FailedWriteLeavesTheOldFileWhole) {
    const TempFolder folder;
    const std::string path = folder.PathOf("CODES.DAT");
    ASSERT_TRUE(WriteBytes(path, "old\r\n"));
    ASSERT_TRUE(platform::CreateFolderIfMissing(platform::TemporaryPathFor(path)));
    EXPECT_FALSE(WriteTextFile(path, "new\n"));
    EXPECT_EQ(ReadBytes(path), "old\r\n");
}

TEST(StoredBody, LinesEndInCrLfWhateverTheBodyUsed) {
    EXPECT_EQ(BodyToCodesText("a\nb\n"), "a\nb\n");
    EXPECT_EQ(BodyToCodesText("a\r\nb\r\n"), "a\nb\n");
    EXPECT_EQ(BodyToCodesText("a\r\r\nb\rc\r"), "a\r\nb\rc\r");
    EXPECT_EQ(DateLineOf("no line end"), "no line end");
    EXPECT_EQ(DateLineOf("\r\n"), "");
}

class RetrieveCodesTest : public ::testing::Test {
protected:
    // Serves `reply` to one request and retrieves the codes from it.
    RetrieveResult RetrieveFrom(const std::string& reply, const std::string& codesPath = "/c") {
        LoopbackServer server({ServerStep::ReadRequest(), ServerStep::Send(reply)});
        CFetchClient client(server.Port(), TEST_TIMEOUT);
        const RetrieveResult result =
            RetrieveCodes(LOOPBACK, codesPath, client, m_workingCopy, m_message);
        m_request = server.Request();
        return result;
    }

    TempFolder m_folder;
    std::string m_workingCopy = WorkingCopyPathIn(m_folder.Path() + platform::PATH_SEPARATOR);
    std::string m_message = "unchanged";
    std::string m_request;
};

TEST_F(RetrieveCodesTest, AcceptedReplyBecomesTheWorkingCopyAndTheMessage) {
    ASSERT_EQ(RetrieveFrom(std::string(HEADER) + "2024-01-31\nA100\r\nB200\n", "dir/CODES.DAT"),
              RetrieveResult::Success);
    EXPECT_EQ(m_request, "GET /dir/CODES.DAT HTTP/1.0\r\n\r\n");
    EXPECT_EQ(ReadBytes(m_workingCopy), "2024-01-31\r\nA100\r\nB200\r\n");
    EXPECT_EQ(m_message,
              "File retrieved from 127.0.0.1.\r\nCurrent Building Code date: 2024-01-31\r\n"
              "Ready to perform update.");
    // The temp folder was created and holds nothing but the working copy.
    EXPECT_EQ(ListFolder(m_folder.PathOf("temp")), "CODES.DAT\n");
}

TEST_F(RetrieveCodesTest, CrLfBodyKeepsCrLfAndTheDateLineHasNoCr) {
    ASSERT_EQ(RetrieveFrom(std::string(HEADER) + "2024-02-29\r\nA\r\n\r\nB"),
              RetrieveResult::Success);
    EXPECT_EQ(ReadBytes(m_workingCopy), "2024-02-29\r\nA\r\n\r\nB");
    EXPECT_EQ(m_message,
              "File retrieved from 127.0.0.1.\r\nCurrent Building Code date: 2024-02-29\r\n"
              "Ready to perform update.");
}

TEST_F(RetrieveCodesTest, EmptyBodyGivesAnEmptyWorkingCopyAndDate) {
    ASSERT_EQ(RetrieveFrom("HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n"),
              RetrieveResult::Success);
    EXPECT_TRUE(test_support::Exists(m_workingCopy));
    EXPECT_EQ(ReadBytes(m_workingCopy), "");
    EXPECT_EQ(m_message,
              "File retrieved from 127.0.0.1.\r\nCurrent Building Code date: \r\n"
              "Ready to perform update.");
}

TEST_F(RetrieveCodesTest, BodyWithANulByteIsStoredWhole) {
    const std::string body("D\nA\0B\n", 6);
    ASSERT_EQ(RetrieveFrom(std::string(HEADER) + body), RetrieveResult::Success);
    EXPECT_EQ(ReadBytes(m_workingCopy), std::string("D\r\nA\0B\r\n", 8));
}

TEST_F(RetrieveCodesTest, RejectedRepliesLeaveTheOldWorkingCopyAndMessageAlone) {
    ASSERT_TRUE(platform::CreateFolderIfMissing(m_folder.PathOf("temp")));
    ASSERT_TRUE(WriteBytes(m_workingCopy, "old\r\ncopy\r\n"));
    const std::string rejected[] = {
        "HTTP/1.1 404 Not Found\r\n\r\nHTTP/1.0 200 OK\r\n\r\n",
        // The server closed early: fewer bytes than announced.
        "HTTP/1.1 200 OK\r\nContent-Length: 100\r\n\r\n2024-01-31\r\n",
        "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n",
        "",
    };
    for (const std::string& reply : rejected) {
        EXPECT_EQ(RetrieveFrom(reply), RetrieveResult::FetchFailed) << reply;
        EXPECT_EQ(m_message, "unchanged");
        EXPECT_EQ(ReadBytes(m_workingCopy), "old\r\ncopy\r\n");
    }
    EXPECT_EQ(ListFolder(m_folder.PathOf("temp")), "CODES.DAT\n");
}

TEST_F(RetrieveCodesTest, EarlyCloseWithoutContentLengthIsTakenAsItCame) {
    ASSERT_EQ(RetrieveFrom(std::string(HEADER) + "2024-01-31\r\nA1"), RetrieveResult::Success);
    EXPECT_EQ(ReadBytes(m_workingCopy), "2024-01-31\r\nA1");
}

TEST_F(RetrieveCodesTest, FailedFetchWritesNothing) {
    CFetchClient client(test_support::UnusedLoopbackPort(), TEST_TIMEOUT);
    EXPECT_EQ(RetrieveCodes(LOOPBACK, "/c", client, m_workingCopy, m_message),
              RetrieveResult::FetchFailed);
    EXPECT_EQ(m_message, "unchanged");
    EXPECT_EQ(ListFolder(m_folder.Path()), "");
}

TEST_F(RetrieveCodesTest, UnwritableWorkingCopyIsReportedAndTheOldOneKept) {
    ASSERT_TRUE(platform::CreateFolderIfMissing(m_folder.PathOf("temp")));
    ASSERT_TRUE(WriteBytes(m_workingCopy, "old\r\n"));
    ASSERT_TRUE(platform::CreateFolderIfMissing(platform::TemporaryPathFor(m_workingCopy)));
    EXPECT_EQ(RetrieveFrom(std::string(HEADER) + "2024-01-31\n"), RetrieveResult::WriteFailed);
    EXPECT_EQ(ReadBytes(m_workingCopy), "old\r\n");
    EXPECT_EQ(m_message, "Cannot write the working copy:\r\n" + m_workingCopy);
}

TEST_F(RetrieveCodesTest, TempFolderThatCannotBeCreatedIsAWriteFailure) {
    // A file where the temp folder should be.
    ASSERT_TRUE(WriteBytes(m_folder.PathOf("temp"), "not a folder"));
    EXPECT_EQ(RetrieveFrom(std::string(HEADER) + "2024-01-31\n"), RetrieveResult::WriteFailed);
    EXPECT_EQ(ReadBytes(m_folder.PathOf("temp")), "not a folder");
}
