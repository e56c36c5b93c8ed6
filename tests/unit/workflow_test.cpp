// The main window's behaviour, against a recording stand-in for the window,
// a scripted fetch, and settings, working copy and batch file in a folder of
// the test's own.
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/temp_folder.h"
#include "workflow/loader_core.h"
#include "workflow/status_texts.h"

#ifdef _WIN32
#include <windows.h>
#define fseeko _fseeki64  // the 64-bit seek of Windows' C runtime
#endif

namespace {

using namespace test_support;

const std::string HOST = "codes.example";
// Lines may end in CR LF or LF alone; the working copy ends each in CR LF.
const std::string REPLY = "HTTP/1.0 200 OK\r\n\r\n2026-12-01 Codes\r\nA100 Footings\n";
const std::string RETRIEVED = RetrievedText(HOST, "2026-12-01 Codes");
const std::string SERVED_ON_DISK = "2026-12-01 Codes\r\nA100 Footings\r\n", OLD_COPY = "2025\r\n";
const std::string MISSING = MISSING_UTILITY_TEXT, NO_ANSWER = "The server did not answer (port 80).";
const std::string FAILED = std::string(CANNOT_RETRIEVE_FROM_WWW_TEXT) + "\r\n" + NO_ANSWER;
// The codes file's URL, over http and https; a redirect to `to`.
const std::string PLAIN = "http://codes.example/CODES.DAT", SECURE = "https://codes.example/CODES.DAT";
std::string Moved(const std::string& to) {
    return "HTTP/1.1 301 Moved Permanently\r\nLocation: " + to + "\r\n\r\n";
}
// What the web server answers, by URL; every other URL is not answered.
using Site = std::map<std::string, std::string>;
const std::string KNOWN = "C:\\dcomm2.exe", SENTINEL = "Autodetect Failed.";
constexpr bool OK = true, FAIL = false;  // whether the server answers at all

// A file of `size` bytes that takes next to no room on the disk.
bool MakeSparseFile(const std::string& path, long long size) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    const bool sized = file && fseeko(file, size - 1, SEEK_SET) == 0 && std::fputc(0, file) == 0;
    return file && std::fclose(file) == 0 && sized;
}

// The fixture stands in for the window, and records what it shows.
class Workflow : public ::testing::Test, public LoaderView {
protected:
    void SetStatusText(const std::string& text) override { status = text; }
    void ShowStateIcon(StateIcon shown) override { icon = shown; }

    Workflow() {
        platform::CreateFolderIfMissing(Path("temp"));
        WriteBytes(WorkingCopy(), OLD_COPY);
    }
    std::string Path(const std::string& name) const { return folder.PathOf(name); }
    std::string WorkingCopy() const {
        return Path(std::string("temp") + platform::PATH_SEPARATOR + "CODES.DAT");
    }
    std::string Utility(char drive) const { return Path(std::string(1, drive) + "-dcomm2.exe"); }
    static std::string Config(const std::string& transfer) {
        return HOST + "\r\n/CODES.DAT\r\n" + transfer + "\r\n";
    }

    // A new core, as a new start of the program would have, whose settings
    // file holds `transfer` as its third line.
    CLoaderCore& Core(const std::string& transfer) {
        WriteBytes(Path("config.txt"), Config(transfer));
        fetches = 0;
        return core.emplace_back(
            *this, LoaderEnvironment{{host, codesPath, transferPath},
                                     [this](const Url& url, FetchFailure& failure) {
                                         ++fetches;
                                         const auto page = site.find(FormatUrl(url));
                                         if (!answers || page == site.end()) {
                                             failure = FetchFailure::NoAnswer;
                                             return std::string_view();
                                         }
                                         return std::string_view(page->second);
                                     },
                                     folder.Path() + platform::PATH_SEPARATOR,
                                     Path("config.txt"),
                                     Path("update.bat"),
                                     {Utility('D'), Utility('C')},
                                     [this](const std::string& command) {
                                         commands.push_back(command + " while showing " + status);
                                         return exitStatus;
                                     }});
    }
    // A core that has started with a known utility and fetched, or not.
    CLoaderCore& Started(bool fetched) {
        answers = fetched;
        CLoaderCore& started = Core(KNOWN);
        started.StartUp();
        started.RetrieveAtStartUp();
        fetches = 0;
        return started;
    }
    // What the window shows: the status text, and the icon of the state.
    void ExpectShown(const std::string& shown, bool ready) {
        EXPECT_EQ(status, shown);
        EXPECT_EQ(icon, ready ? StateIcon::Ready : StateIcon::NotReady);
        EXPECT_EQ(core.back().IsReady(), ready);
    }

    TempFolder folder;
    std::string host, codesPath, transferPath;
    std::string status;
    StateIcon icon = StateIcon::Ready;
    bool answers = OK;
    Site site = {{PLAIN, REPLY}};
    int exitStatus = 0;
    int fetches = 0;
    std::vector<std::string> commands;
    std::deque<CLoaderCore> core;
};

TEST_F(Workflow, StartUpDetectsSavesAndFetchesInEachSituation) {
    const struct {
        std::string transfer, installed;  // third line of config.txt; drives with the utility
        bool answers;
        std::string status, saved;  // the status at the end; the third line after it
        bool ready, fetched;
    } rows[] = {
        // clang-format off
        {KNOWN,    "",   OK,   RETRIEVED, KNOWN,        true,  true},
        {SENTINEL, "DC", OK,   RETRIEVED, Utility('D'), true,  true},
        {SENTINEL, "C",  OK,   RETRIEVED, Utility('C'), true,  true},
        {SENTINEL, "",   OK,   MISSING,   SENTINEL,     false, false},
        {KNOWN,    "",   FAIL, FAILED,    KNOWN,        false, true},
        {SENTINEL + " ", "", FAIL, FAILED, SENTINEL + " ", false, true},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.transfer + " on " + row.installed);
        for (const char drive : row.installed) {
            WriteBytes(Utility(drive), "MZ");
        }
        answers = row.answers;
        CLoaderCore& started = Core(row.transfer);
        EXPECT_TRUE(started.StartUp());
        started.RetrieveAtStartUp();
        ExpectShown(row.status, row.ready);
        EXPECT_EQ(ReadBytes(Path("config.txt")), Config(row.saved));
        EXPECT_EQ(fetches, row.fetched ? 1 : 0);
        EXPECT_EQ(ReadBytes(WorkingCopy()), row.ready ? SERVED_ON_DISK : OLD_COPY);
        WriteBytes(WorkingCopy(), OLD_COPY);
        for (const char drive : row.installed) {
            std::remove(Utility(drive).c_str());
        }
    }
#ifdef _WIN32
    // A path found that cannot be saved is said by the window, and used.
    WriteBytes(Utility('C'), "MZ");
    CLoaderCore& started = Core(SENTINEL);
    SetFileAttributesA(Path("config.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    EXPECT_FALSE(started.StartUp());
    EXPECT_EQ(transferPath, Utility('C'));
    SetFileAttributesA(Path("config.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
}

TEST_F(Workflow, RetrieveFromWebFetchesEvenAfterDetectionFailedAndSaysWhatFailed) {
    CLoaderCore& started = Core(SENTINEL);
    started.StartUp();
    started.RetrieveAtStartUp();
    EXPECT_EQ(fetches, 0);
    started.RetrieveFromWeb();
    ExpectShown(RETRIEVED, true);

    // The date is shown up to a NUL byte; the copy keeps every byte.
    site[PLAIN] = std::string("HTTP/1.0 200 OK\r\n\r\n2026-12-01\0 hidden\nA1\n", 41);
    started.RetrieveFromWeb();
    ExpectShown(RetrievedText(HOST, "2026-12-01"), true);
    EXPECT_EQ(ReadBytes(WorkingCopy()), std::string("2026-12-01\0 hidden\r\nA1\r\n", 24));

    std::remove(WorkingCopy().c_str());
    platform::CreateFolderIfMissing(WorkingCopy());  // a folder where the copy belongs
    started.RetrieveFromWeb();
    ExpectShown(CannotWriteWorkingCopyText(WorkingCopy()), false);
}

TEST_F(Workflow, RedirectsAreFollowedToTheCodesFile) {
    CLoaderCore& notReady = Started(FAIL);
    answers = OK;
    site = {{PLAIN, Moved(SECURE)}, {SECURE, Moved("codes/2026.DAT")},
            {"https://codes.example/codes/2026.DAT", REPLY}};
    notReady.RetrieveFromWeb();
    ExpectShown(RETRIEVED, true);
    EXPECT_EQ(fetches, 3);
    EXPECT_EQ(ReadBytes(WorkingCopy()), SERVED_ON_DISK);
}

TEST_F(Workflow, AFailedRetrievalKeepsTheCopyAndSaysWhy) {
    const struct {
        std::string hostLine, codesPath;
        Site site;
        std::string reason;
        int fetches;
    } rows[] = {
        // clang-format off
        {HOST,            "/CODES.DAT", {}, NO_ANSWER, 1},
        {HOST + ":8080",  "/CODES.DAT", {}, "The server did not answer (port 8080).", 1},
        {HOST + "/codes", "/CODES.DAT", {{PLAIN, REPLY}}, "The host is not written correctly.", 0},
        {HOST,            "",           {{PLAIN, REPLY}}, "No codes file path is set.", 0},
        {HOST, "/CODES.DAT", {{PLAIN, "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n"}}, "The server sent an empty file.", 1},
        {HOST, "/CODES.DAT", {{PLAIN, "HTTP/1.0 404 Not Found\r\n\r\n"}}, "The server answered with status 404.", 1},
        {HOST, "/CODES.DAT", {{PLAIN, "HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\n\r\nx"}}, "The server's reply could not be read.", 1},
        {HOST, "/CODES.DAT", {{PLAIN, Moved("/CODES.DAT")}}, "The redirects go round in a loop.", 1},
        {HOST, "/CODES.DAT", {{PLAIN, Moved("ftp://codes.example/")}}, "A redirect named a place that cannot be read.", 1},
        {"https://" + HOST, "/CODES.DAT", {{SECURE, Moved(PLAIN)}}, "A redirect from https to http was refused.", 1},
        // clang-format on
    };
    CLoaderCore& ready = Started(OK);
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reason);
        host = row.hostLine;
        codesPath = row.codesPath;
        site = row.site;
        fetches = 0;
        ready.RetrieveFromWeb();
        ExpectShown(CANNOT_RETRIEVE_TEXT + ("\r\n" + row.reason), false);
        EXPECT_EQ(fetches, row.fetches);
        EXPECT_EQ(ReadBytes(WorkingCopy()), SERVED_ON_DISK);
    }
}

TEST_F(Workflow, OptionsOutcomeFollowsTheStateBeforeTheDialog) {
    const struct {
        bool readyBefore, confirmed;
        std::string transfer;  // as the dialog left it
        bool answers;
        std::string status;
        bool ready, fetched;
    } rows[] = {
        // clang-format off
        {true,  true,  KNOWN,    OK,   RETRIEVED, true,  false},
        {true,  true,  SENTINEL, OK,   MISSING,   false, false},
        {false, true,  KNOWN,    OK,   RETRIEVED, true,  true},
        {false, true,  KNOWN,    FAIL, FAILED,    false, true},
        {false, true,  SENTINEL, OK,   RETRIEVED, true,  true},
        {false, true,  SENTINEL, FAIL, FAILED,    false, true},
        {false, false, SENTINEL, OK,   FAILED,    false, false},
        {true,  false, SENTINEL, FAIL, RETRIEVED, true,  false},
        // clang-format on
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.transfer + (row.confirmed ? " OK" : " Cancel"));
        CLoaderCore& started = Started(row.readyBefore);
        transferPath = row.transfer;
        answers = row.answers;
        started.OptionsClosed(row.confirmed, started.IsReady());
        ExpectShown(row.status, row.ready);
        EXPECT_EQ(fetches, row.fetched ? 1 : 0);
    }
}

TEST_F(Workflow, OpenMakesReadyOnlyWhenTheCopyWasWritten) {
    CLoaderCore& notReady = Started(FAIL);
    WriteBytes(Path("chosen.dat"), "2026-06-30 Opened\nZ9 Last line without end");
    WriteBytes(Path("empty.dat"), "");
    for (const char* unreadable : {"missing.dat", "empty.dat"}) {
        notReady.OpenCodesFile(Path(unreadable));
        ExpectShown(CannotReadCodesFileText(Path(unreadable)), false);
        EXPECT_EQ(ReadBytes(WorkingCopy()), OLD_COPY);
    }

    notReady.OpenCodesFile(Path("chosen.dat"));
    ExpectShown(FileReadText("2026-06-30 Opened"), true);
    EXPECT_EQ(ReadBytes(WorkingCopy()), "2026-06-30 Opened\r\nZ9 Last line without end\r\n");

    // A file too large to hold in memory is not read.
    ASSERT_TRUE(MakeSparseFile(Path("huge.dat"), 2LL << 40));  // 2 TiB
#if !defined(__SANITIZE_ADDRESS__)  // which ends the process on such an allocation
    notReady.OpenCodesFile(Path("huge.dat"));
    ExpectShown(CannotReadCodesFileText(Path("huge.dat")), true);
#endif

    std::remove(WorkingCopy().c_str());
    platform::CreateFolderIfMissing(WorkingCopy());
    notReady.OpenCodesFile(Path("chosen.dat"));
    ExpectShown(CannotWriteWorkingCopyText(WorkingCopy()), true);
}

TEST_F(Workflow, SaveCopiesTheWorkingCopyAndNamesWhatFailed) {
    CLoaderCore& ready = Started(OK);
    ready.SaveCodesFile(Path("saved.dat"));
    EXPECT_EQ(status, SavedCodesText(Path("saved.dat")));
    EXPECT_EQ(ReadBytes(Path("saved.dat")), SERVED_ON_DISK);

    const std::string nowhere = Path("no-such-folder") + platform::PATH_SEPARATOR + "saved.dat";
    ready.SaveCodesFile(nowhere);
    EXPECT_EQ(status, CannotSaveCodesText(nowhere));

    // Saved onto itself, the working copy keeps every byte.
    WriteBytes(WorkingCopy(), "A\r\r\nB\x1A\r\nC");
    ready.SaveCodesFile(folder.Path() + platform::PATH_SEPARATOR + "." + platform::PATH_SEPARATOR +
                        "temp" + platform::PATH_SEPARATOR + "CODES.DAT");
    EXPECT_EQ(ReadBytes(WorkingCopy()), "A\r\r\nB\x1A\r\nC");

    std::remove(WorkingCopy().c_str());
    ready.SaveCodesFile(Path("again.dat"));
    ExpectShown(CannotReadWorkingCopyText(WorkingCopy()), true);
    EXPECT_FALSE(Exists(Path("again.dat")));
}

TEST_F(Workflow, UpdateRunsTheBatchFileOnlyWhenReadyAndSaysWhenItFailed) {
    Started(FAIL).UpdateBuildingCodes();
    EXPECT_TRUE(commands.empty());
    EXPECT_FALSE(Exists(Path("update.bat")));

    CLoaderCore& ready = Started(OK);
    ready.UpdateBuildingCodes();
    EXPECT_EQ(commands,
              std::vector<std::string>{Path("update.bat") + " while showing " + UPDATING_TEXT});
    EXPECT_EQ(ReadBytes(Path("update.bat")), "\"" + KNOWN + "\" /b=57600 \"" + folder.Path() +
                                                 platform::PATH_SEPARATOR +
                                                 "temp\\CODES.DAT\"\r\n");
    ExpectShown(RETRIEVED, true);

    exitStatus = 9009;  // the command interpreter found no such program
    ready.UpdateBuildingCodes();
    ExpectShown("Update Building Codes failed.\r\nThe transfer utility ended with code 9009.",
                true);

    std::remove(Path("update.bat").c_str());
    platform::CreateFolderIfMissing(Path("update.bat"));
    ready.UpdateBuildingCodes();
    EXPECT_EQ(status, CANNOT_WRITE_UPDATE_BATCH_TEXT);
    EXPECT_EQ(commands.size(), 2u);

    // A retry that succeeds brings back the text from before the failures.
    std::filesystem::remove(Path("update.bat"));
    exitStatus = 0;
    ready.UpdateBuildingCodes();
    ExpectShown(RETRIEVED, true);
}

}  // namespace
