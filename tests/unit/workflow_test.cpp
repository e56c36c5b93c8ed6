// The main window's behaviour, against a recording stand-in for the window,
// a scripted fetch, and settings, working copy and batch file in a folder of
// the test's own.
#include <gtest/gtest.h>

#include <cstdio>
#include <deque>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_system.h"
#include "tests/support/temp_folder.h"

#ifdef _WIN32
#include <windows.h>
#endif
#include "workflow/loader_core.h"
#include "workflow/status_texts.h"

namespace {

using test_support::Exists;
using test_support::ReadBytes;
using test_support::WriteBytes;

const std::string HOST = "codes.example";
const std::string REPLY = "HTTP/1.0 200 OK\r\n\r\n2026-12-01 Codes\nA100 Footings\n";
const std::string DATE = "2026-12-01 Codes";
const std::string SERVED_ON_DISK = "2026-12-01 Codes\r\nA100 Footings\r\n";
const std::string OLD_COPY = "2025-01-01 Old\r\n";
constexpr char OK[] = "ok";      // the fetch gets REPLY
constexpr char FAIL[] = "fail";  // the fetch gets no reply
constexpr char SENTINEL[] = "Autodetect Failed.";

// A file of `size` bytes that takes no room on the disk.
bool MakeSparseFile(const std::string& path, unsigned long long size) {
#ifdef _WIN32
    const HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                    FILE_ATTRIBUTE_NORMAL, nullptr);
    LARGE_INTEGER end;
    end.QuadPart = static_cast<LONGLONG>(size);
    const bool sized = SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file);
    CloseHandle(file);
    return sized;
#else
    std::error_code error;
    WriteBytes(path, "");
    std::filesystem::resize_file(path, size, error);
    return !error;
#endif
}

struct RecordingView : LoaderView {
    void SetStatusText(const std::string& text) override { status = text; }
    void ShowStateIcon(StateIcon shown) override { icon = shown; }
    std::string status;
    StateIcon icon = StateIcon::Ready;
};

class Workflow : public ::testing::Test {
protected:
    Workflow() {
        platform::CreateFolderIfMissing(Path("temp"));
        WriteBytes(WorkingCopy(), OLD_COPY);
    }

    std::string Path(const std::string& name) const { return folder.PathOf(name); }
    std::string WorkingCopy() const {
        return Path(std::string("temp") + platform::PATH_SEPARATOR + "CODES.DAT");
    }
    std::string Utility(char drive) const { return Path(std::string(1, drive) + "-dcomm2.exe"); }
    void Config(const std::string& transfer) {
        WriteBytes(Path("config.txt"), HOST + "\r\n/CODES.DAT\r\n" + transfer + "\r\n");
    }

    CLoaderCore& Core() {
        LoaderEnvironment env{{host, codesPath, transferPath},
                              [this](const std::string& name, std::string_view request) {
                                  requests.push_back(name + " " + std::string(request));
                                  return reply == OK ? std::string_view(served)
                                                     : std::string_view();
                              },
                              folder.Path() + platform::PATH_SEPARATOR};
        env.settingsFile = Path("config.txt");
        env.batchFile = Path("update.bat");
        env.utilityLocations = {Utility('D'), Utility('C')};
        env.runCommand = [this](const std::string& command) {
            commands.push_back(command + " while showing " + view.status);
            return exitStatus;
        };
        core.emplace_back(view, env);
        return core.back();
    }
    // A core that has started with a known utility and fetched `startReply`.
    CLoaderCore& Started(const char* startReply) {
        Config("C:\\dcomm2.exe");
        reply = startReply;
        CLoaderCore& started = Core();
        started.StartUp();
        started.RetrieveAtStartUp();
        requests.clear();
        return started;
    }
    void ExpectShown(const std::string& status, StateIcon icon, bool ready) {
        EXPECT_EQ(view.status, status);
        EXPECT_EQ(view.icon, icon);
        EXPECT_EQ(core.back().IsReady(), ready);
    }

    test_support::TempFolder folder;
    std::string host, codesPath, transferPath;
    RecordingView view;
    std::string reply = OK;
    std::string served = REPLY;
    int exitStatus = 0;
    std::vector<std::string> requests, commands;
    std::deque<CLoaderCore> core;
};

TEST_F(Workflow, StartUpDetectsSavesAndFetchesInEachSituation) {
    const std::string onD = Utility('D'), onC = Utility('C');
    const std::string missing = MISSING_UTILITY_TEXT;
    struct Row {
        std::string transfer;         // third line of config.txt
        std::vector<char> installed;  // drives that hold the utility
        const char* reply;
        std::string status, savedTransfer;
        StateIcon icon;
        int fetches;
    } rows[] = {
        {"C:\\dcomm2.exe",
         {},
         OK,
         RetrievedText(HOST, DATE),
         "C:\\dcomm2.exe",
         StateIcon::Ready,
         1},
        {SENTINEL, {'D', 'C'}, OK, RetrievedText(HOST, DATE), onD, StateIcon::Ready, 1},
        {SENTINEL, {'C'}, OK, RetrievedText(HOST, DATE), onC, StateIcon::Ready, 1},
        {SENTINEL, {}, OK, missing, SENTINEL, StateIcon::NotReady, 0},
        {"C:\\dcomm2.exe",
         {},
         FAIL,
         CANNOT_RETRIEVE_FROM_WWW_TEXT,
         "C:\\dcomm2.exe",
         StateIcon::NotReady,
         1},
        {"Autodetect Failed. ",
         {},
         FAIL,
         CANNOT_RETRIEVE_FROM_WWW_TEXT,
         "Autodetect Failed. ",
         StateIcon::NotReady,
         1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.transfer + " found on " +
                     std::string(row.installed.begin(), row.installed.end()));
        for (const char drive : row.installed) {
            WriteBytes(Utility(drive), "MZ");
        }
        Config(row.transfer);
        reply = row.reply;
        requests.clear();
        CLoaderCore& started = Core();
        EXPECT_TRUE(started.StartUp());
        started.RetrieveAtStartUp();
        ExpectShown(row.status, row.icon, row.icon == StateIcon::Ready);
        EXPECT_EQ(ReadBytes(Path("config.txt")),
                  HOST + "\r\n/CODES.DAT\r\n" + row.savedTransfer + "\r\n");
        ASSERT_EQ(requests.size(), static_cast<std::size_t>(row.fetches));
        if (row.fetches > 0) {
            EXPECT_EQ(requests[0], HOST + " GET /CODES.DAT HTTP/1.0\r\nHost: " + HOST + "\r\n\r\n");
        }
        EXPECT_EQ(ReadBytes(WorkingCopy()),
                  row.reply == OK && row.fetches ? SERVED_ON_DISK : OLD_COPY);
        WriteBytes(WorkingCopy(), OLD_COPY);
        for (const char drive : row.installed) {
            std::remove(Utility(drive).c_str());
        }
    }
}

TEST_F(Workflow, StartUpWithoutSettingsStillFetchesAndWritesNoSettingsFile) {
    reply = FAIL;
    CLoaderCore& started = Core();
    EXPECT_TRUE(started.StartUp());
    started.RetrieveAtStartUp();
    ExpectShown(CANNOT_RETRIEVE_FROM_WWW_TEXT, StateIcon::NotReady, false);
    EXPECT_EQ(requests, std::vector<std::string>{" GET / HTTP/1.0\r\nHost: \r\n\r\n"});
    EXPECT_FALSE(Exists(Path("config.txt")));
}

TEST_F(Workflow, DetectedPathThatCannotBeSavedIsReportedAndStillUsed) {
#ifndef _WIN32
    GTEST_SKIP() << "only Windows refuses to replace a read-only file";
#else
    WriteBytes(Utility('C'), "MZ");
    Config(SENTINEL);
    SetFileAttributesA(Path("config.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    CLoaderCore& started = Core();
    EXPECT_FALSE(started.StartUp());
    EXPECT_EQ(transferPath, Utility('C'));
    SetFileAttributesA(Path("config.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
#endif
}

TEST_F(Workflow, FailedRetrievalsKeepTheOldCopyAndNameAnUnwritableOne) {
    CLoaderCore& ready = Started(OK);
    reply = FAIL;
    ready.RetrieveFromWeb();
    ExpectShown(CANNOT_RETRIEVE_TEXT, StateIcon::NotReady, false);
    EXPECT_EQ(ReadBytes(WorkingCopy()), SERVED_ON_DISK);

    reply = OK;
    std::remove(WorkingCopy().c_str());
    platform::CreateFolderIfMissing(WorkingCopy());  // a folder where the copy belongs
    ready.RetrieveFromWeb();
    ExpectShown(CannotWriteWorkingCopyText(WorkingCopy()), StateIcon::NotReady, false);
}

TEST_F(Workflow, RetrieveFromWebMakesReadyEvenAfterDetectionFailed) {
    Config(SENTINEL);
    CLoaderCore& started = Core();
    started.StartUp();
    started.RetrieveAtStartUp();
    EXPECT_TRUE(requests.empty());
    started.RetrieveFromWeb();
    ExpectShown(RetrievedText(HOST, DATE), StateIcon::Ready, true);
}

TEST_F(Workflow, OptionsOutcomeFollowsTheStateBeforeTheDialog) {
    struct Row {
        const char* startReply;  // OK: ready before the dialog
        bool confirmed;
        std::string transfer;  // as the dialog left it
        const char* reply;
        std::string status;
        StateIcon icon;
        int fetches;
    } rows[] = {
        {OK, true, "C:\\dcomm2.exe", OK, RetrievedText(HOST, DATE), StateIcon::Ready, 0},
        {OK, true, SENTINEL, OK, MISSING_UTILITY_TEXT, StateIcon::NotReady, 0},
        {FAIL, true, "C:\\dcomm2.exe", OK, RetrievedText(HOST, DATE), StateIcon::Ready, 1},
        {FAIL, true, "C:\\dcomm2.exe", FAIL, CANNOT_RETRIEVE_FROM_WWW_TEXT, StateIcon::NotReady, 1},
        {FAIL, true, SENTINEL, OK, RetrievedText(HOST, DATE), StateIcon::Ready, 1},
        {FAIL, true, SENTINEL, FAIL, CANNOT_RETRIEVE_FROM_WWW_TEXT, StateIcon::NotReady, 1},
        {FAIL, false, SENTINEL, OK, CANNOT_RETRIEVE_FROM_WWW_TEXT, StateIcon::NotReady, 0},
        {OK, false, SENTINEL, FAIL, RetrievedText(HOST, DATE), StateIcon::Ready, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(std::string(row.startReply) + (row.confirmed ? " OK " : " Cancel ") +
                     row.transfer + " " + row.reply);
        CLoaderCore& started = Started(row.startReply);
        const bool wasReady = started.IsReady();
        transferPath = row.transfer;
        reply = row.reply;
        started.OptionsClosed(row.confirmed, wasReady);
        ExpectShown(row.status, row.icon, row.icon == StateIcon::Ready);
        EXPECT_EQ(requests.size(), static_cast<std::size_t>(row.fetches));
    }
}

TEST_F(Workflow, OpenMakesReadyOnlyWhenTheCopyWasWritten) {
    CLoaderCore& notReady = Started(FAIL);
    WriteBytes(Path("chosen.dat"), "2026-06-30 Opened\nZ9 Last line without end");
    notReady.OpenCodesFile(Path("missing.dat"));
    ExpectShown(CannotReadCodesFileText(Path("missing.dat")), StateIcon::NotReady, false);
    EXPECT_EQ(ReadBytes(WorkingCopy()), OLD_COPY);

    notReady.OpenCodesFile(Path("chosen.dat"));
    ExpectShown(FileReadText("2026-06-30 Opened"), StateIcon::Ready, true);
    EXPECT_EQ(ReadBytes(WorkingCopy()), "2026-06-30 Opened\r\nZ9 Last line without end\r\n");

    std::remove(WorkingCopy().c_str());
    platform::CreateFolderIfMissing(WorkingCopy());  // a folder where the copy belongs
    notReady.OpenCodesFile(Path("chosen.dat"));
    ExpectShown(CannotWriteWorkingCopyText(WorkingCopy()), StateIcon::Ready, true);
}

TEST_F(Workflow, SaveCopiesTheWorkingCopyAndNamesWhatFailed) {
    CLoaderCore& ready = Started(OK);
    ready.SaveCodesFile(Path("saved.dat"));
    EXPECT_EQ(view.status, SavedCodesText(Path("saved.dat")));
    EXPECT_EQ(ReadBytes(Path("saved.dat")), SERVED_ON_DISK);

    const std::string nowhere = Path("no-such-folder") + platform::PATH_SEPARATOR + "saved.dat";
    ready.SaveCodesFile(nowhere);
    EXPECT_EQ(view.status, CannotSaveCodesText(nowhere));

    std::remove(WorkingCopy().c_str());
    ready.SaveCodesFile(Path("again.dat"));
    ExpectShown(CannotReadWorkingCopyText(WorkingCopy()), StateIcon::Ready, true);
    EXPECT_FALSE(Exists(Path("again.dat")));
}

TEST_F(Workflow, UpdateRunsTheBatchFileOnlyWhenReadyAndSaysWhenItFailed) {
    CLoaderCore& notReady = Started(FAIL);
    notReady.UpdateBuildingCodes();
    EXPECT_TRUE(commands.empty());
    EXPECT_FALSE(Exists(Path("update.bat")));

    CLoaderCore& ready = Started(OK);
    ready.UpdateBuildingCodes();
    EXPECT_EQ(commands,
              std::vector<std::string>{Path("update.bat") + " while showing " + UPDATING_TEXT});
    EXPECT_EQ(ReadBytes(Path("update.bat")), "\"C:\\dcomm2.exe\" /b=57600 \"" + folder.Path() +
                                                 platform::PATH_SEPARATOR +
                                                 "temp\\CODES.DAT\"\r\n");
    ExpectShown(RetrievedText(HOST, DATE), StateIcon::Ready, true);

    exitStatus = 9009;  // the command interpreter found no such program
    ready.UpdateBuildingCodes();
    ExpectShown("Update Building Codes failed.\r\nThe transfer utility ended with code 9009.",
                StateIcon::Ready, true);
    EXPECT_EQ(commands.size(), 2u);

    std::remove(Path("update.bat").c_str());
    platform::CreateFolderIfMissing(Path("update.bat"));
    ready.UpdateBuildingCodes();
    EXPECT_EQ(view.status, CANNOT_WRITE_UPDATE_BATCH_TEXT);
    EXPECT_EQ(commands.size(), 2u);
}

TEST_F(Workflow, DateLineIsShownUpToItsFirstNulByte) {
    served = std::string("HTTP/1.0 200 OK\r\n\r\n2026-12-01\0 hidden\nA1\n", 41);
    Started(OK);
    ExpectShown(RetrievedText(HOST, "2026-12-01"), StateIcon::Ready, true);
    EXPECT_EQ(ReadBytes(WorkingCopy()), std::string("2026-12-01\0 hidden\r\nA1\r\n", 24));
}

TEST_F(Workflow, FileTooLargeToHoldIsNotReadAndChangesNothing) {
#if defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "the address sanitizer ends the process on an allocation this large";
#else
    CLoaderCore& ready = Started(OK);
    const std::string huge = Path("huge.dat");
    ASSERT_TRUE(MakeSparseFile(huge, 2ULL << 40));  // 2 TiB
    ready.OpenCodesFile(huge);
    ExpectShown(CannotReadCodesFileText(huge), StateIcon::Ready, true);
    EXPECT_EQ(ReadBytes(WorkingCopy()), SERVED_ON_DISK);
#endif
}

}  // namespace
