#include "codes/reply_check.h"
#include "codes/update_batch.h"
#include "codes/working_copy.h"
#include "platform/file_system.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <optional>

using namespace test_support;

TEST(ReplyCheck, AcceptsOnlyWholeUnencoded200Replies) {
    const std::string ok = "HTTP/1.1 200 OK\r\n";
    const std::nullopt_t REFUSED = std::nullopt;
    // clang-format off
    const struct { std::string reply; std::optional<std::string> body; } rows[] = {
        {"HTTP/1.0 200 OK\r\n\r\nbody", "body"}, {"HTTP/1.1 200\r\n\r\nbody", "body"},
        {"HTTP/1.0 200 OK\nA: b\n\nline 1\n\nline 3\n", "line 1\n\nline 3\n"}, {"HTTP/1.0 200 OK\r\nA: \r\r\n\r\nx", "x"},
        {"", REFUSED}, {"HTTP/1.0 404 Not Found\r\n\r\nHTTP/1.0 200 OK\r\n\r\n", REFUSED},
        {"HTTP/1.1 2000 OK\r\n\r\nbody", REFUSED}, {"http/1.1 200 OK\r\n\r\nbody", REFUSED},
        {"HTTP/1.0 200 OK\r\nA: b\r\n\r", REFUSED},
        {ok + "Transfer-Encoding: chunked\r\n\r\n5\r\nhello\r\n0\r\n\r\n", REFUSED},
        {ok + "Transfer-Encoding \t: chunked\r\n\r\nbody", REFUSED}, {ok + "Content-Encoding: identity, gzip\r\n\r\nbody", REFUSED},
        {ok + "CONTENT-ENCODING:  Identity \r\n\r\nbody", "body"}, {ok + "X-Transfer-Encoding: chunked\r\n\r\nbody", "body"},
        {ok + "content-length:4\r\nContent-Length: 0004 \r\n\r\nbody", "body"},
        {ok + "Content-Length: 3\r\n\r\n" + std::string("a\0b", 3), std::string("a\0b", 3)},
        {ok + "Content-Length: 10\r\n\r\nbody", REFUSED}, {ok + "Content-Length: 3\r\n\r\nbody", REFUSED},
        {ok + "Content-Length: 4\r\nContent-Length: 5\r\n\r\nbody", REFUSED}, {ok + "Content-Length: +4\r\n\r\nbody", REFUSED},
        {ok + "Content-Length : 10\r\n\r\nbody", REFUSED},
        {ok + "Content-Length: 99999999999999999999999999\r\n\r\nbody", REFUSED},
    };
    // clang-format on
    for (const auto& row : rows) {
        const auto [accepted, bodyStart] = CheckReply(row.reply.data(), row.reply.size());
        EXPECT_EQ(accepted ? std::optional(row.reply.substr(bodyStart)) : REFUSED, row.body)
            << row.reply;
    }
}

TEST(WorkingCopy, LiesInTempBesideTheProgram) {
    EXPECT_EQ(ProgramFolderOf("D:\\Norvale.exe.old\\Norvale.exe"), "D:\\Norvale.exe.old\\");
    const char* const self = platform::PATH_SEPARATOR == '\\' ? "codes_test.exe" : "codes_test";
    EXPECT_TRUE(platform::CanOpenForReading(GetProgramFolder() + self));

    // The temp folder is created when missing.
    const TempFolder folder;
    const std::string inFolder = WorkingCopyPathIn(folder.Path() + platform::PATH_SEPARATOR);
    EXPECT_TRUE(StoreWorkingCopy(inFolder, "a\n"));
    EXPECT_EQ(ReadBytes(inFolder), "a\r\n");
}

TEST(UpdateBatchLine, QuotesPathsForTheCommandInterpreter) {
    // clang-format off
    const struct { std::string utility, folder, line; } rows[] = {
        {"C:\\DCOMM\\dcomm2.exe", "C:\\Tools\\", "\"C:\\DCOMM\\dcomm2.exe\" /b=57600 \"C:\\Tools\\temp\\CODES.DAT\""},
        {"\"C:\\My Tools\\dcomm2.exe\"", "", "\"C:\\My Tools\\dcomm2.exe\" /b=57600 \"temp\\CODES.DAT\""},
        {"C:\\My\"Tools\\d.exe", "", "C:\\My\"Tools\\d.exe /b=57600 \"temp\\CODES.DAT\""},
        {"", "", "\"\" /b=57600 \"temp\\CODES.DAT\""},
        {"C:\\100%\\dcomm2.exe", "D:\\%TEMP%\\", "\"C:\\100%%\\dcomm2.exe\" /b=57600 \"D:\\%%TEMP%%\\temp\\CODES.DAT\""},
        {"\"%%\"x", "", "\"%%%%\"x /b=57600 \"temp\\CODES.DAT\""},
    };
    // clang-format on
    for (const auto& row : rows) {
        EXPECT_EQ(UpdateBatchLine(row.utility, row.folder), row.line);
    }
}

#ifdef _WIN32
TEST(UpdateBatch, APathWithNoOemFormGoesInItsShortForm) {
    const TempFolder folder;
    const std::string euro = folder.PathOf("Euro \x80") + "\\", batch = folder.PathOf("u.bat");
    ASSERT_TRUE(platform::CreateFolderIfMissing(euro));
    ASSERT_TRUE(WriteUpdateBatch(batch, "C:\\dcomm2.exe", euro));
    const std::string line = ReadBytes(batch), prefix = "\"C:\\dcomm2.exe\" /b=57600 \"";
    ASSERT_EQ(line.substr(0, prefix.size()), prefix);
    const std::string shortForm = line.substr(prefix.size(), line.find("temp\\") - prefix.size());
    EXPECT_EQ(shortForm.find('\x80'), std::string::npos) << shortForm;
    EXPECT_TRUE(platform::IsFolder(shortForm)) << shortForm;
    EXPECT_FALSE(WriteUpdateBatch(batch, euro + "missing \x80.exe", euro));
    EXPECT_EQ(ReadBytes(batch), line);
}
#endif
