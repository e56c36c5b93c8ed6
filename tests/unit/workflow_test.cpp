// The main window's behaviour, against a recording view, a scripted web
// server, and settings, working copy and batch file in a folder of the test's
// own.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <map>
#include <utility>

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
const std::string PLAIN = "http://codes.example/CODES.DAT",
                  SECURE = "https://codes.example/CODES.DAT";
// Lines may end in CR LF or LF alone; the working copy ends each in CR LF.
const std::string REPLY = "HTTP/1.0 200 OK\r\n\r\n2026-12-01 Codes\r\nA100 Footings\n";
const std::string SERVED_ON_DISK = "2026-12-01 Codes\r\nA100 Footings\r\n", OLD_COPY = "2025\r\n";
const std::string RETRIEVED = RetrievedText(HOST, "2026-12-01 Codes");
const std::string NO_ANSWER = "The server did not answer (port 80).";
const std::string FAILED = std::string(CANNOT_RETRIEVE_FROM_WWW_TEXT) + "\r\n" + NO_ANSWER;
const std::string KNOWN = "C:\\dcomm2.exe", SENTINEL = AUTODETECT_FAILED;

std::string Moved(const std::string& to) {
    return "HTTP/1.1 301 Moved Permanently\r\nLocation: " + to + "\r\n\r\n";
}

enum class Commands { On, Off };

// The status text, the state icon and whether the window takes commands.
std::string Shown(const std::string& text, CodesState icon, Commands commands = Commands::On) {
    return text + (icon == CodesState::Ready ? " [ready" : " [stop") +
           (commands == Commands::On ? "]" : ", busy]");
}

// What the window shows, as the core last set it.
struct RecordingView : LoaderView {
    void SetStatusText(const std::string& text) override { status = text; }
    void ShowStateIcon(CodesState state) override { icon = state; }
    void EnableCommands(bool enable) override { commands = enable ? Commands::On : Commands::Off; }
    void ShowWarning(const std::string& text) override { warnings.push_back(text); }
    std::string Shows() const { return Shown(status, icon, commands); }

    std::string status;
    CodesState icon = CodesState::Ready;  // as if left up
    Commands commands = Commands::On;
    std::vector<std::string> warnings;
};

using Lines = std::vector<std::string>;
enum class Server { Answers, Silent };
using Site = std::map<std::string, std::string>;  // what the server answers, by URL

class Workflow : public ::testing::Test {
protected:
    Workflow() {
        platform::CreateFolderIfMissing(Path("temp"));
        WriteBytes(WorkingCopy(), OLD_COPY);
        ConfigNames(KNOWN);
    }

    // The environment the program starts in.
    void ConfigNames(const std::string& transferPath) {
        WriteBytes(Path("config.txt"), Config(transferPath));
    }
    void InstallUtilityOn(char drive) { WriteBytes(Utility(drive), "MZ"); }
    void Serve(const std::string& url, const std::string& reply) { site[url] = reply; }

    // The window opens, and the start-up fetch runs when it is due; the
    // server may be silent for it.
    CLoaderCore& Start(Server server = Server::Answers) {
        const Site answering = std::exchange(site, server == Server::Silent ? Site() : site);
        LoaderEnvironment environment;
        environment.fetch = [this](const Url& url, std::chrono::steady_clock::time_point,
                                   FetchFailure& failure) {
            fetches.push_back(FormatUrl(url) + " " + view.Shows());
            const auto page = site.find(FormatUrl(url));
            const auto failed = failing.find(FormatUrl(url));
            failure = page == site.end() ? FetchFailure::NoAnswer : FetchFailure::None;
            if (failed != failing.end() && failed->second != FetchFailure::None) {
                failure = failed->second;
            }
            return failure == FetchFailure::None ? std::string_view(page->second)
                                                 : std::string_view();
        };
        environment.programFolder = folder.Path() + platform::PATH_SEPARATOR;
        environment.settingsFile = Path("config.txt");
        environment.batchFile = Path("update.bat");
        environment.utilityLocations = {Utility('D'), Utility('C')};
        environment.runBatchFile = [this](const std::string& path) {
            runs.push_back(path + " " + view.Shows());
            return std::exchange(exitStatus, 0);
        };
        core.emplace(view, settings, environment);
        core->StartUp();
        core->RetrieveAtStartUp();
        site = answering;
        return *core;
    }

    // The Options dialog, closed with OK on `edited` or cancelled.
    static OptionsDialog PressOk(const Settings& edited) {
        return [edited](const Settings&, const SettingsSaver& save) {
            save(edited);
            return std::optional<Settings>(edited);
        };
    }

    std::string Path(const std::string& name) const { return folder.PathOf(name); }
    std::string WorkingCopy() const {
        return Path("temp") + platform::PATH_SEPARATOR + "CODES.DAT";
    }
    std::string Utility(char drive) const { return Path(std::string(1, drive) + "-dcomm2.exe"); }
    static std::string Config(const std::string& transferPath) {
        return HOST + "\r\n/CODES.DAT\r\n" + transferPath + "\r\n";
    }
    // The place where the file `path` belongs holds a folder instead.
    static void BlockFile(const std::string& path) {
        std::remove(path.c_str());
        platform::CreateFolderIfMissing(path);
    }

    TempFolder folder;
    RecordingView view;
    Settings settings;
    Site site = {{PLAIN, REPLY}};
    std::map<std::string, FetchFailure> failing;  // URLs whose fetch fails, and why
    Lines fetches, runs;                          // each with what the window showed meanwhile
    int exitStatus = 0;                           // of the next run of the batch file
    std::optional<CLoaderCore> core;
};

TEST_F(Workflow, StartUpFetchRunsNotReadyWithCommandsOff) {
    Start();
    EXPECT_EQ(fetches,
              Lines{PLAIN + " " + Shown(RETRIEVING_TEXT, CodesState::NotReady, Commands::Off)});
}

TEST_F(Workflow, StartUpSavesTheUtilityDetectedOnDriveDFirst) {
    for (const auto& [drives, detected] : {std::pair{"C", 'C'}, {"CD", 'D'}}) {
        SCOPED_TRACE(drives);
        for (const char* drive = drives; *drive != '\0'; ++drive) {
            InstallUtilityOn(*drive);
        }
        ConfigNames(SENTINEL);
        Start();
        EXPECT_EQ(ReadBytes(Path("config.txt")), Config(Utility(detected)));
    }
}

TEST_F(Workflow, StartUpKnownUtilityLeavesTheSettingsFileAsItWas) {
    WriteBytes(Path("config.txt"), HOST + "\n/CODES.DAT\n" + KNOWN);
    Start();
    EXPECT_EQ(ReadBytes(Path("config.txt")), HOST + "\n/CODES.DAT\n" + KNOWN);
}

TEST_F(Workflow, StartUpMissingUtilityIsSaidInsteadOfAFetch) {
    ConfigNames(SENTINEL);
    Start();
    EXPECT_EQ(view.Shows(), Shown(MISSING_UTILITY_TEXT, CodesState::NotReady));
    EXPECT_TRUE(fetches.empty());
}

TEST_F(Workflow, StartUpDetectsOnlyForTheSentinelExactly) {
    ConfigNames(SENTINEL + " ");
    Start();
    EXPECT_EQ(fetches.size(), 1u);
}

#ifdef _WIN32
TEST_F(Workflow, StartUpDetectedPathThatCannotBeSavedIsWarnedOfButUsed) {
    InstallUtilityOn('C');
    ConfigNames(SENTINEL);
    SetFileAttributesA(Path("config.txt").c_str(), FILE_ATTRIBUTE_READONLY);
    Start();
    EXPECT_EQ(view.warnings, Lines{SAVE_SETTINGS_FAILED_TEXT});
    EXPECT_EQ(settings.transferPath, Utility('C'));
    SetFileAttributesA(Path("config.txt").c_str(), FILE_ATTRIBUTE_NORMAL);
}
#endif

TEST_F(Workflow, RetrieveFromWebShowsTheStopSignWhileItFetches) {
    Start().RetrieveFromWeb();
    EXPECT_EQ(fetches.back(),
              PLAIN + " " + Shown(RETRIEVING_TEXT, CodesState::NotReady, Commands::Off));
}

TEST_F(Workflow, RetrieveFromWebFetchesEvenWithoutAKnownUtility) {
    ConfigNames(SENTINEL);
    Start().RetrieveFromWeb();
    EXPECT_EQ(view.Shows(), Shown(RETRIEVED, CodesState::Ready));
}

TEST_F(Workflow, RetrieveFromWebDateStopsAtANulByteThatTheCopyKeeps) {
    Serve(PLAIN, std::string("HTTP/1.0 200 OK\r\n\r\n2026-12-01\0 hidden\nA1\n", 41));
    Start().RetrieveFromWeb();
    EXPECT_EQ(view.status, RetrievedText(HOST, "2026-12-01"));
    EXPECT_EQ(ReadBytes(WorkingCopy()), std::string("2026-12-01\0 hidden\r\nA1\r\n", 24));
}

TEST_F(Workflow, RetrieveFromWebFollowsRedirectsToTheCodesFile) {
    CLoaderCore& notReady = Start(Server::Silent);
    site = {{PLAIN, Moved(SECURE)},
            {SECURE, Moved("codes/2026.DAT")},
            {"https://codes.example/codes/2026.DAT", REPLY}};
    fetches.clear();
    notReady.RetrieveFromWeb();
    EXPECT_EQ(fetches.size(), 3u);
    EXPECT_EQ(ReadBytes(WorkingCopy()), SERVED_ON_DISK);
}

TEST_F(Workflow, RetrieveFromWebFailureNamesItsReasonAndKeepsTheCopy) {
    using F = FetchFailure;
    const std::string SECURE_HOST = "https://" + HOST;
    // clang-format off
    const struct { std::string hostLine, codesPath, url, reply; F failure; std::string reason; std::size_t fetchCount; } rows[] = {
        {HOST + ":8080",  "/CODES.DAT", "", "", F::None, "The server did not answer (port 8080).", 1},
        {HOST,            "/CODES.DAT", PLAIN, "", F::UnknownHost, "The host name is not known.", 1},
        {HOST,            "/CODES.DAT", PLAIN, "", F::TimedOut, "No answer within 30 seconds.", 1},
        {HOST,            "/CODES.DAT", PLAIN, "", F::TimeLimit, "The retrieval took longer than 2 minutes.", 1},
        {HOST,            "/CODES.DAT", PLAIN, "", F::ConnectionLost, "The connection broke off before the whole file came.", 1},
        {HOST,            "/CODES.DAT", PLAIN, "", F::TooLarge, "The file is larger than 256 KiB.", 1},
        {SECURE_HOST,     "/CODES.DAT", SECURE, "", F::CertUntrusted, "The server's certificate is not trusted.", 1},
        {SECURE_HOST,     "/CODES.DAT", SECURE, "", F::CertWrongName, "The server's certificate is for another name.", 1},
        {SECURE_HOST,     "/CODES.DAT", SECURE, "", F::CertExpired, "The server's certificate has expired.", 1},
        {SECURE_HOST,     "/CODES.DAT", SECURE, "", F::SecureFailed, "The secure connection failed.", 1},
        {HOST + "/codes", "/CODES.DAT", PLAIN, REPLY, F::None, "The host is not written correctly.", 0},
        {HOST,            "",           PLAIN, REPLY, F::None, "No codes file path is set.", 0},
        {HOST, "/CODES.DAT", PLAIN, "HTTP/1.0 200 OK\r\nContent-Length: 0\r\n\r\n", F::None, "The server sent an empty file.", 1},
        {HOST, "/CODES.DAT", PLAIN, "HTTP/1.0 404 Not Found\r\n\r\n", F::None, "The server answered with status 404.", 1},
        {HOST, "/CODES.DAT", PLAIN, "HTTP/1.0 200 OK\r\nContent-Encoding: gzip\r\n\r\nx", F::None, "The server's reply could not be read.", 1},
        {HOST, "/CODES.DAT", PLAIN, Moved("/CODES.DAT"), F::None, "The redirects go round in a loop.", 1},
        {HOST, "/CODES.DAT", PLAIN, Moved("ftp://codes.example/"), F::None, "A redirect named a place that cannot be read.", 1},
        {SECURE_HOST, "/CODES.DAT", SECURE, Moved(PLAIN), F::None, "A redirect from https to http was refused.", 1},
    };
    // clang-format on
    CLoaderCore& ready = Start();
    for (const auto& row : rows) {
        SCOPED_TRACE(row.reason);
        settings.host = row.hostLine;
        settings.codesPath = row.codesPath;
        site = {{row.url, row.reply}};
        failing = {{row.url, row.failure}};
        fetches.clear();
        ready.RetrieveFromWeb();
        EXPECT_EQ(view.Shows(),
                  Shown(CANNOT_RETRIEVE_TEXT + ("\r\n" + row.reason), CodesState::NotReady));
        EXPECT_EQ(fetches.size(), row.fetchCount);
        EXPECT_EQ(ReadBytes(WorkingCopy()), SERVED_ON_DISK);
    }
}

TEST_F(Workflow, OptionsOutcomeFollowsTheStateBeforeTheDialog) {
    // clang-format off
    const struct { CodesState before; std::string transferPath; /* as OK left it */ Server server;
                   std::string status; CodesState after; std::size_t fetchCount; } rows[] = {
        {CodesState::Ready,    KNOWN,    Server::Answers, RETRIEVED,            CodesState::Ready,    0},
        {CodesState::Ready,    SENTINEL, Server::Answers, MISSING_UTILITY_TEXT, CodesState::NotReady, 0},
        {CodesState::NotReady, KNOWN,    Server::Answers, RETRIEVED,            CodesState::Ready,    1},
        {CodesState::NotReady, KNOWN,    Server::Silent,  FAILED,               CodesState::NotReady, 1},
        {CodesState::NotReady, SENTINEL, Server::Answers, RETRIEVED,            CodesState::Ready,    1},
        {CodesState::NotReady, SENTINEL, Server::Silent,  FAILED,               CodesState::NotReady, 1},
    };
    // clang-format on
    for (const auto& row : rows) {
        SCOPED_TRACE("row " + std::to_string(&row - rows));
        Serve(PLAIN, REPLY);
        CLoaderCore& started =
            Start(row.before == CodesState::Ready ? Server::Answers : Server::Silent);
        if (row.server == Server::Silent) {
            site.clear();
        }
        fetches.clear();
        started.Options(PressOk({HOST, "/CODES.DAT", row.transferPath}));
        EXPECT_EQ(view.Shows(), Shown(row.status, row.after));
        EXPECT_EQ(fetches.size(), row.fetchCount);
    }
}

TEST_F(Workflow, OptionsCancelChangesNothing) {
    CLoaderCore& notReady = Start(Server::Silent);
    fetches.clear();
    notReady.Options(
        [](const Settings&, const SettingsSaver&) { return std::optional<Settings>(); });
    EXPECT_EQ(view.Shows(), Shown(FAILED, CodesState::NotReady));
    EXPECT_TRUE(fetches.empty());
}

TEST_F(Workflow, OpenCodesFileMakesReadyWithTheDateOfTheFileOpened) {
    WriteBytes(Path("chosen.dat"), "2026-06-30 Opened\nZ9 Last line without end");
    Start(Server::Silent).OpenCodesFile(Path("chosen.dat"));
    EXPECT_EQ(view.Shows(), Shown(FileReadText("2026-06-30 Opened"), CodesState::Ready));
    EXPECT_EQ(ReadBytes(WorkingCopy()), "2026-06-30 Opened\r\nZ9 Last line without end\r\n");
}

TEST_F(Workflow, OpenCodesFileNamesAFileThatCannotBeRead) {
    WriteBytes(Path("empty.dat"), "");
    for (const char* unreadable : {"missing.dat", "empty.dat"}) {
        SCOPED_TRACE(unreadable);
        Start(Server::Silent).OpenCodesFile(Path(unreadable));
        EXPECT_EQ(view.Shows(),
                  Shown(CannotReadCodesFileText(Path(unreadable)), CodesState::NotReady));
        EXPECT_EQ(ReadBytes(WorkingCopy()), OLD_COPY);
    }
}

// A file too large to hold in memory is not read (AddressSanitizer would end
// the process on such an allocation).
#if !defined(__SANITIZE_ADDRESS__)
TEST_F(Workflow, OpenCodesFileDoesNotReadAFileTooLargeForMemory) {
    const std::string huge = Path("huge.dat");
    std::FILE* file = std::fopen(huge.c_str(), "wb");  // 2 TiB, next to no room on the disk
    ASSERT_TRUE(file && fseeko(file, (2LL << 40) - 1, SEEK_SET) == 0 && std::fputc(0, file) == 0);
    ASSERT_EQ(std::fclose(file), 0);
    Start(Server::Silent).OpenCodesFile(huge);
    EXPECT_EQ(view.Shows(), Shown(CannotReadCodesFileText(huge), CodesState::NotReady));
}
#endif

TEST_F(Workflow, OpenCodesFileNamesAWorkingCopyThatCannotBeWritten) {
    WriteBytes(Path("chosen.dat"), "2026\n");
    CLoaderCore& notReady = Start(Server::Silent);
    BlockFile(WorkingCopy());
    notReady.OpenCodesFile(Path("chosen.dat"));
    EXPECT_EQ(view.Shows(), Shown(CannotWriteWorkingCopyText(WorkingCopy()), CodesState::NotReady));
}

TEST_F(Workflow, SaveCodesFileNamesAFileThatCannotBeWritten) {
    const std::string nowhere = Path("no-such-folder") + platform::PATH_SEPARATOR + "saved.dat";
    Start().SaveCodesFile(nowhere);
    EXPECT_EQ(view.status, CannotSaveCodesText(nowhere));
}

TEST_F(Workflow, SaveCodesFileOntoTheWorkingCopyKeepsEveryByte) {
    CLoaderCore& ready = Start();
    WriteBytes(WorkingCopy(), "A\r\r\nB\x1A\r\nC");
    const char separator = platform::PATH_SEPARATOR;
    ready.SaveCodesFile(folder.Path() + separator + "." + separator + "temp" + separator +
                        "CODES.DAT");
    EXPECT_EQ(ReadBytes(WorkingCopy()), "A\r\r\nB\x1A\r\nC");
}

TEST_F(Workflow, SaveCodesFileMissingWorkingCopyIsNamedNotSaved) {
    CLoaderCore& ready = Start();
    std::remove(WorkingCopy().c_str());
    ready.SaveCodesFile(Path("saved.dat"));
    EXPECT_EQ(view.Shows(), Shown(CannotReadWorkingCopyText(WorkingCopy()), CodesState::Ready));
    EXPECT_FALSE(Exists(Path("saved.dat")));
}

TEST_F(Workflow, UpdateBuildingCodesDoesNothingWhenNotReady) {
    Start(Server::Silent).UpdateBuildingCodes();
    EXPECT_TRUE(runs.empty());
    EXPECT_FALSE(Exists(Path("update.bat")));
}

TEST_F(Workflow, UpdateBuildingCodesRunsTheBatchFileWithCommandsOff) {
    Start().UpdateBuildingCodes();
    EXPECT_EQ(runs, Lines{Path("update.bat") + " " +
                          Shown(UPDATING_TEXT, CodesState::Ready, Commands::Off)});
    EXPECT_EQ(view.Shows(), Shown(RETRIEVED, CodesState::Ready));
}

TEST_F(Workflow, UpdateBuildingCodesSuccessAfterAFailureShowsTheTextFromBeforeTheUpdate) {
    CLoaderCore& ready = Start();
    exitStatus = 7;
    ready.UpdateBuildingCodes();
    BlockFile(Path("update.bat"));
    ready.UpdateBuildingCodes();
    std::filesystem::remove(Path("update.bat"));
    ready.UpdateBuildingCodes();
    EXPECT_EQ(view.Shows(), Shown(RETRIEVED, CodesState::Ready));
}

TEST_F(Workflow, UpdateBuildingCodesBatchFileThatCannotBeWrittenIsNotRun) {
    CLoaderCore& ready = Start();
    BlockFile(Path("update.bat"));
    ready.UpdateBuildingCodes();
    EXPECT_EQ(view.status, CANNOT_WRITE_UPDATE_BATCH_TEXT);
#ifdef _WIN32
    // A path the batch file cannot name is named to the user instead: here a
    // missing one with the euro sign, which code page 437 lacks.
    settings.transferPath = "C:\\missing \x80\\dcomm2.exe";
    ready.UpdateBuildingCodes();
    EXPECT_EQ(view.status, NoShortNameText("C:\\missing \xE2\x82\xAC\\dcomm2.exe"));
#endif
    EXPECT_TRUE(runs.empty());
}

}  // namespace
