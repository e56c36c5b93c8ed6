#include "codes/reply_check.h"
#include "codes/retrieve.h"
#include "codes/update_batch.h"
#include "codes/working_copy.h"
#include "platform/file_system.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_folder.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <iterator>
#include <list>
#include <optional>

#ifdef _WIN32
#include <windows.h>
#endif

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

TEST(RetrieveCodes, OneTimeLimitHoldsForEveryRedirectTogether) {
    // Each server answers after a pause with a redirect to the next: each hop
    // is quick enough alone, three of them are not. The last redirect names
    // a port where nothing listens, which the retrieval never reaches.
    using Clock = std::chrono::steady_clock;
    constexpr std::chrono::milliseconds PAUSE{400}, LIMIT{1000}, LATENESS{300};
    constexpr int REDIRECTS = 3;
    const LoopbackServer nobody(std::nullopt);
    std::uint16_t next = nobody.port;
    std::list<LoopbackServer> servers;
    for (int hop = 0; hop < REDIRECTS; ++hop) {
        const std::string redirect =
            "HTTP/1.0 302 Found\r\nLocation: http://127.0.0.1:" + std::to_string(next) +
            "/c\r\n\r\n";
        next = servers.emplace_front(Script{READ, {Step::Send, redirect, 0, PAUSE}}).port;
        ASSERT_NE(next, 0);
    }
    CFetchClient client;
    const FetchReply fetch = [&client](const Url& url, Clock::time_point end,
                                       FetchFailure& failure) {
        return client.Fetch(url, end, failure);
    };
    const TempFolder folder;
    std::string dateLine;
    RetrieveFailure failure;
    const auto start = Clock::now();
    const RetrieveResult result =
        RetrieveCodes("127.0.0.1:" + std::to_string(next), "/c", fetch, folder.PathOf("CODES.DAT"),
                      dateLine, failure, LIMIT);
    EXPECT_LT(Clock::now() - start, LIMIT + LATENESS);
    EXPECT_EQ(result, RetrieveResult::FetchFailed);
    EXPECT_EQ(failure.fetch, FetchFailure::TimeLimit);
    EXPECT_FALSE(Exists(folder.PathOf("CODES.DAT")));
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
// Also run on a desk whose code pages are both UTF-8.
TEST(UpdateBatch, NamesTheFolderInTheInterpretersCodePage) {
    // The folder Zoë, and as the batch file must name it.
    // clang-format off
    const struct { unsigned ansi, oem; std::string inBatch; } rows[] = {
        {1252, 437, "Zo\x89"}, {65001, 65001, "Zo\xC3\xAB"}};
    // clang-format on
    const auto row = std::find_if(std::begin(rows), std::end(rows), [](const auto& r) {
        return r.ansi == GetACP() && r.oem == GetOEMCP();
    });
    if (row == std::end(rows)) {
        GTEST_SKIP() << "no row for the code pages " << GetACP() << " and " << GetOEMCP();
    }
    const TempFolder folder;
    const std::string batch = folder.PathOf("u.bat"), in = folder.Path() + "\\";
    ASSERT_TRUE(platform::CreateFolderIfMissing(in + "Zo\xC3\xAB"));
    std::string unnamed;
    ASSERT_EQ(WriteUpdateBatch(batch, "C:\\dcomm2.exe", in + "Zo\xC3\xAB\\", unnamed),
              BatchResult::Written);
    EXPECT_EQ(ReadBytes(batch),
              "\"C:\\dcomm2.exe\" /b=57600 \"" + in + row->inBatch + "\\temp\\CODES.DAT\"\r\n");
}

// A path the OEM code page cannot name goes in its short form; without one
// (a missing file here, a volume without short names on a desk), nothing is
// written and the path is named.
TEST(UpdateBatch, APathWithNoOemFormGoesInItsShortForm) {
    const TempFolder folder;
    const std::string cyrillic =
        folder.PathOf("\xD0\x94\xD0\xBC\xD0\xB8\xD1\x82\xD1\x80\xD0\xB8\xD0\xB9") + "\\";
    const std::string batch = folder.PathOf("u.bat");
    ASSERT_TRUE(platform::CreateFolderIfMissing(cyrillic));
    std::string unnamed;
    ASSERT_EQ(WriteUpdateBatch(batch, "C:\\dcomm2.exe", cyrillic, unnamed), BatchResult::Written);
    const std::string line = ReadBytes(batch), prefix = "\"C:\\dcomm2.exe\" /b=57600 \"";
    ASSERT_EQ(line.substr(0, prefix.size()), prefix);
    const std::string shortForm = line.substr(prefix.size(), line.find("temp\\") - prefix.size());
    EXPECT_TRUE(std::all_of(shortForm.begin(), shortForm.end(), [](char c) {
        return static_cast<unsigned char>(c) < 0x80;
    })) << shortForm;
    EXPECT_TRUE(platform::IsFolder(shortForm)) << shortForm;
    // The euro sign of code page 1252 has no form in code page 437.
    EXPECT_EQ(WriteUpdateBatch(batch, "C:\\missing \x80\\dcomm2.exe", cyrillic, unnamed),
              BatchResult::NoShortName);
    EXPECT_EQ(unnamed, "C:\\missing \xE2\x82\xAC\\dcomm2.exe");
    EXPECT_EQ(ReadBytes(batch), line);
}
#endif
