// The user's commands: Update Building Codes with the stand-in transfer
// utility, Open and Save through the real file dialogs, and the Options
// dialog with each outcome of its retrieval.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "res/resource.h"
#include "tests/e2e/fixtures.h"
#include "tools/uidriver/driver.h"

namespace {

using namespace e2e;

const char OPTIONS_CAPTION[] = "Norvale Options";
const char CANNOT_RETRIEVE_FROM_WWW[] = "Cannot retrieve codes file from WWW.";
const char WORKING_COPY[] = "2026-11-20 Codes on disk\r\nC300 Roofing\r\n";

std::string OpenedText(const std::string& date) {
    return "File read.\r\nCurrent Building Code date: " + date + "\r\nReady to perform update.";
}

// Starts the program with codes fetched from `host`, so that it is ready.
void StartReady(ProgramUnderTest& program, const std::string& host, const std::string& path,
                const std::string& transferPath) {
    program.WriteFile("config.txt", Config(host, path, transferPath));
    ASSERT_TRUE(program.Start());
    ASSERT_EQ(StatusText(program), RetrievedText(host, CODES_DATE));
}

// Starts the program with no host to fetch from, so that it is not ready.
void StartNotReady(ProgramUnderTest& program, const std::string& transferPath) {
    program.WriteFile("config.txt", Config("", "/nothing.dat", transferPath));
    ASSERT_TRUE(program.Start());
    ASSERT_EQ(StatusText(program), CANNOT_RETRIEVE_FROM_WWW);
}

// Runs a menu command that opens a dialog owned by the main window.
HWND OpenDialog(const ProgramUnderTest& program, UINT command, const std::string& caption) {
    uidriver::PostMenuCommand(program.MainWindow(), command);
    HWND dialog = uidriver::WaitForOwnedWindow(program.MainWindow());
    EXPECT_NE(dialog, nullptr);
    EXPECT_EQ(uidriver::GetText(dialog), caption);
    return dialog;
}

// Chooses `path` in an open or save dialog and waits for the command to end.
void Choose(const ProgramUnderTest& program, HWND fileDialog, const std::string& path) {
    ASSERT_TRUE(uidriver::ChooseFile(fileDialog, path));
    ASSERT_TRUE(uidriver::WaitForWindowGone(fileDialog));
    ASSERT_TRUE(uidriver::WaitUntilIdle(program.MainWindow()));
}

void Cancel(const ProgramUnderTest& program, HWND dialog) {
    ASSERT_TRUE(uidriver::ClickButton(dialog, IDCANCEL));
    ASSERT_TRUE(uidriver::WaitForWindowGone(dialog));
    ASSERT_TRUE(uidriver::WaitUntilIdle(program.MainWindow()));
}

std::string ExpectedBatch(const std::string& transferPath, const std::string& workingCopy) {
    return "\"" + transferPath + "\" /b=57600 \"" + workingCopy + "\"\r\n";
}

std::string DoublePercents(const std::string& text) {
    std::string doubled;
    for (char c : text) {
        doubled += c == '%' ? std::string("%%") : std::string(1, c);
    }
    return doubled;
}

// ---- Update Building Codes ----

TEST(UpdateTest, LoadsTheWorkingCopyOntoTheHandheldAndRestoresTheStatus) {
    ServedFile served("update.dat", CODES);
    InstalledUtility utility('C');
    ProgramUnderTest program;
    StartReady(program, "127.0.0.11", "/update.dat", utility.Path());
    const std::string before = StatusText(program);

    // The click returns once the utility has ended.
    ASSERT_TRUE(uidriver::ClickButtonAndWait(program.MainWindow(), IDC_UPDATE));
    EXPECT_EQ(StatusText(program), before);
    EXPECT_TRUE(program.WaitForStateIcon(IDI_READY));
    EXPECT_EQ(FileBytes(program, "update.bat"),
              ExpectedBatch(utility.Path(), program.WorkingCopyPath()));
    EXPECT_EQ(FileBytes(program, utility.HandheldFolder() + "CODES.DAT"), CODES_ON_DISK);
    const std::string commandLine =
        FileBytes(program, utility.HandheldFolder() + "dcomm2-command-line.txt");
    EXPECT_NE(commandLine.find(" /b=57600 \"" + program.WorkingCopyPath() + "\""),
              std::string::npos)
        << commandLine;
}

TEST(UpdateTest, PercentSignsInThePathsReachTheUtilityUnchanged) {
    ServedFile served("percent.dat", CODES);
    // Both the program folder and the utility's folder hold what the command
    // interpreter would otherwise expand as variables.
    ProgramUnderTest program("UpdateTest.100%OS%done");
    const std::string utilityFolder = program.Folder() + "tools%PATH%";
    const std::string utility = utilityFolder + "\\dcomm2.exe";
    ::CreateDirectoryA(utilityFolder.c_str(), nullptr);
    ASSERT_TRUE(::CopyFileA(uidriver::ToWindowsPath(NORVALE_FAKE_DCOMM2_PATH).c_str(),
                            utility.c_str(), FALSE));
    StartReady(program, "127.0.0.12", "/percent.dat", utility);

    ASSERT_TRUE(uidriver::ClickButtonAndWait(program.MainWindow(), IDC_UPDATE));
    EXPECT_EQ(FileBytes(program, "update.bat"),
              ExpectedBatch(DoublePercents(utility), DoublePercents(program.WorkingCopyPath())));
    EXPECT_EQ(FileBytes(program, utilityFolder + "\\handheld\\CODES.DAT"), CODES_ON_DISK);
}

TEST(UpdateTest, ClickWhileNotReadyWritesNothingAndRunsNothing) {
    InstalledUtility utility('C');
    ProgramUnderTest program;
    StartNotReady(program, utility.Path());
    program.WriteFile("temp\\CODES.DAT", WORKING_COPY);

    ASSERT_TRUE(uidriver::ClickButtonAndWait(program.MainWindow(), IDC_UPDATE));
    EXPECT_EQ(StatusText(program), CANNOT_RETRIEVE_FROM_WWW);
    EXPECT_FALSE(program.FileExists("update.bat"));
    EXPECT_FALSE(program.FileExists(utility.HandheldFolder()));
}

TEST(UpdateTest, BatchFileThatCannotBeWrittenIsReportedAndNothingRuns) {
    ServedFile served("no-batch.dat", CODES);
    InstalledUtility utility('C');
    ProgramUnderTest program;
    // A folder named update.bat stands where the batch file should go.
    ::CreateDirectoryA((program.Folder() + "update.bat").c_str(), nullptr);
    StartReady(program, "127.0.0.13", "/no-batch.dat", utility.Path());

    ASSERT_TRUE(uidriver::ClickButtonAndWait(program.MainWindow(), IDC_UPDATE));
    EXPECT_EQ(StatusText(program), "Cannot write update.bat.");
    EXPECT_FALSE(program.FileExists(utility.HandheldFolder()));
}

// ---- Open Codes File ----

TEST(OpenTest, ChosenFileBecomesTheWorkingCopyAndTheWindowReady) {
    InstalledUtility utility('C');
    ProgramUnderTest program;
    StartNotReady(program, utility.Path());
    const std::string chosen = "2026-12-05 Opened\r\nX1\r\nX2\r\n";
    program.WriteFile("picked.DAT", chosen);

    HWND dialog = OpenDialog(program, ID_FILE_OPEN_CODES, "Open");
    EXPECT_EQ(uidriver::FileDialogName(dialog), "CODES.DAT");
    Choose(program, dialog, program.Folder() + "picked.DAT");

    EXPECT_EQ(StatusText(program), OpenedText("2026-12-05 Opened"));
    EXPECT_TRUE(program.WaitForStateIcon(IDI_READY));
    EXPECT_EQ(FileBytes(program, "temp\\CODES.DAT"), chosen);

    // Now ready: the update runs with the opened codes.
    ASSERT_TRUE(uidriver::ClickButtonAndWait(program.MainWindow(), IDC_UPDATE));
    EXPECT_EQ(FileBytes(program, utility.HandheldFolder() + "CODES.DAT"), chosen);
}

TEST(OpenTest, CancelChangesNothing) {
    ProgramUnderTest program;
    StartNotReady(program, "C:\\Tools\\dcomm2.exe");
    program.WriteFile("temp\\CODES.DAT", WORKING_COPY);

    Cancel(program, OpenDialog(program, ID_FILE_OPEN_CODES, "Open"));
    EXPECT_EQ(StatusText(program), CANNOT_RETRIEVE_FROM_WWW);
    EXPECT_TRUE(program.WaitForStateIcon(IDI_NOT_READY));
    EXPECT_EQ(FileBytes(program, "temp\\CODES.DAT"), WORKING_COPY);
}

TEST(OpenTest, UnreadableFileIsNamedAndNothingElseChanges) {
    ProgramUnderTest program;
    StartNotReady(program, "C:\\Tools\\dcomm2.exe");
    program.WriteFile("temp\\CODES.DAT", WORKING_COPY);
    program.WriteFile("locked.DAT", "2026-12-05 Locked\r\n");
    // Held open by this process with no sharing, so the program cannot read it.
    const std::string locked = program.Folder() + "locked.DAT";
    HANDLE lock = ::CreateFileA(locked.c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING,
                                FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(lock, INVALID_HANDLE_VALUE);

    Choose(program, OpenDialog(program, ID_FILE_OPEN_CODES, "Open"), locked);
    ::CloseHandle(lock);
    EXPECT_EQ(StatusText(program), "Cannot read codes file:\r\n" + locked);
    EXPECT_TRUE(program.WaitForStateIcon(IDI_NOT_READY));
    EXPECT_EQ(FileBytes(program, "temp\\CODES.DAT"), WORKING_COPY);
}

// ---- Save Codes File ----

TEST(SaveTest, CopiesTheWorkingCopyToANewFile) {
    ProgramUnderTest program;
    program.WriteFile("temp\\CODES.DAT", WORKING_COPY);
    StartNotReady(program, "C:\\Tools\\dcomm2.exe");
    const std::string target = program.Folder() + "saved.DAT";

    HWND dialog = OpenDialog(program, ID_FILE_SAVE_CODES, "Save As");
    EXPECT_EQ(uidriver::FileDialogName(dialog), "CODES.DAT");
    // Typed without its extension: the dialog adds ".DAT".
    Choose(program, dialog, program.Folder() + "saved");
    EXPECT_EQ(StatusText(program), "Saved codes to:\r\n" + target);
    EXPECT_EQ(FileBytes(program, target), WORKING_COPY);
    // Save leaves the readiness alone.
    EXPECT_TRUE(program.WaitForStateIcon(IDI_NOT_READY));
}

TEST(SaveTest, ReplacesAnExistingFileOnlyAfterTheQuestion) {
    ProgramUnderTest program;
    program.WriteFile("temp\\CODES.DAT", WORKING_COPY);
    const std::string older = "older content that is longer than the working copy\r\n\r\n\r\n";
    program.WriteFile("existing.DAT", older);
    StartNotReady(program, "C:\\Tools\\dcomm2.exe");
    const std::string target = program.Folder() + "existing.DAT";

    HWND dialog = OpenDialog(program, ID_FILE_SAVE_CODES, "Save As");
    ASSERT_TRUE(uidriver::ChooseFile(dialog, target));
    HWND question = uidriver::WaitForOwnedWindow(dialog);
    ASSERT_NE(question, nullptr);
    EXPECT_EQ(FileBytes(program, target), older);
    ASSERT_TRUE(uidriver::ClickButton(question, IDYES));
    ASSERT_TRUE(uidriver::WaitForWindowGone(dialog));
    ASSERT_TRUE(uidriver::WaitUntilIdle(program.MainWindow()));

    EXPECT_EQ(StatusText(program), "Saved codes to:\r\n" + target);
    EXPECT_EQ(FileBytes(program, target), WORKING_COPY);
}

TEST(SaveTest, SavingTheWorkingCopyOntoItselfLeavesItUnchanged) {
    ProgramUnderTest program;
    program.WriteFile("temp\\CODES.DAT", WORKING_COPY);
    StartNotReady(program, "C:\\Tools\\dcomm2.exe");

    HWND dialog = OpenDialog(program, ID_FILE_SAVE_CODES, "Save As");
    ASSERT_TRUE(uidriver::ChooseFile(dialog, program.WorkingCopyPath()));
    HWND question = uidriver::WaitForOwnedWindow(dialog);
    ASSERT_NE(question, nullptr);
    ASSERT_TRUE(uidriver::ClickButton(question, IDYES));
    ASSERT_TRUE(uidriver::WaitForWindowGone(dialog));
    ASSERT_TRUE(uidriver::WaitUntilIdle(program.MainWindow()));
    EXPECT_EQ(StatusText(program), "Saved codes to:\r\n" + program.WorkingCopyPath());
    EXPECT_EQ(FileBytes(program, "temp\\CODES.DAT"), WORKING_COPY);
}

TEST(SaveTest, CancelOrAMissingWorkingCopyCreatesNoFile) {
    ProgramUnderTest program;
    StartNotReady(program, "C:\\Tools\\dcomm2.exe");
    const std::string target = program.Folder() + "never.DAT";

    Cancel(program, OpenDialog(program, ID_FILE_SAVE_CODES, "Save As"));
    EXPECT_EQ(StatusText(program), CANNOT_RETRIEVE_FROM_WWW);
    EXPECT_FALSE(program.FileExists(target));

    // No working copy was ever retrieved.
    Choose(program, OpenDialog(program, ID_FILE_SAVE_CODES, "Save As"), target);
    EXPECT_EQ(StatusText(program), "Cannot read the working copy:\r\n" + program.WorkingCopyPath());
    EXPECT_FALSE(program.FileExists(target));
}

// ---- Options ----

struct OptionsBoxes {
    std::string host;
    std::string codesPath;
    std::string transferPath;
    bool operator==(const OptionsBoxes& other) const {
        return host == other.host && codesPath == other.codesPath &&
               transferPath == other.transferPath;
    }
};

OptionsBoxes ReadBoxes(HWND options) {
    return {uidriver::GetControlText(options, IDC_HOST),
            uidriver::GetControlText(options, IDC_CODES_PATH),
            uidriver::GetControlText(options, IDC_TRANSFER_PATH)};
}

void SetBoxes(HWND options, const OptionsBoxes& boxes) {
    uidriver::SetControlText(options, IDC_HOST, boxes.host);
    uidriver::SetControlText(options, IDC_CODES_PATH, boxes.codesPath);
    uidriver::SetControlText(options, IDC_TRANSFER_PATH, boxes.transferPath);
}

void PressOk(const ProgramUnderTest& program, HWND options) {
    ASSERT_TRUE(uidriver::ClickButton(options, IDOK));
    ASSERT_TRUE(uidriver::WaitForWindowGone(options));
    ASSERT_TRUE(uidriver::WaitUntilIdle(program.MainWindow()));
}

TEST(OptionsTest, CancelAfterAutoDetectAndBrowseChangesNothing) {
    ServedFile served("options-cancel.dat", CODES);
    InstalledUtility utility('C');
    ProgramUnderTest program;
    const OptionsBoxes settings{"127.0.0.14", "/options-cancel.dat", "C:\\Old\\dcomm2.exe"};
    StartReady(program, settings.host, settings.codesPath, settings.transferPath);
    const std::string config = FileBytes(program, "config.txt");

    HWND options = OpenDialog(program, ID_CONFIGURE_OPTIONS, OPTIONS_CAPTION);
    EXPECT_TRUE(ReadBoxes(options) == settings);
    EXPECT_EQ(uidriver::FocusedWindow(options), ::GetDlgItem(options, IDOK));
    ASSERT_TRUE(uidriver::ClickButtonAndWait(options, IDC_AUTODETECT));
    EXPECT_EQ(uidriver::GetControlText(options, IDC_TRANSFER_PATH), UTILITY_ON_C);

    uidriver::ClickButton(options, IDC_BROWSE);
    HWND browse = uidriver::WaitForOwnedWindow(options);
    ASSERT_NE(browse, nullptr);
    EXPECT_EQ(uidriver::FileDialogName(browse), "dcomm2.exe");
    ASSERT_TRUE(uidriver::ChooseFile(browse, program.ExePath()));
    ASSERT_TRUE(uidriver::WaitForWindowGone(browse));
    EXPECT_TRUE(uidriver::WaitForText(options, IDC_TRANSFER_PATH, program.ExePath()));

    Cancel(program, options);
    EXPECT_EQ(FileBytes(program, "config.txt"), config);
    EXPECT_EQ(StatusText(program), RetrievedText(settings.host, CODES_DATE));
    options = OpenDialog(program, ID_CONFIGURE_OPTIONS, OPTIONS_CAPTION);
    EXPECT_TRUE(ReadBoxes(options) == settings);
    Cancel(program, options);
}

TEST(OptionsTest, AutoDetectWithNoUtilityStoresTheSentinel) {
    ServedFile served("options-sentinel.dat", CODES);
    ProgramUnderTest program;
    StartReady(program, "127.0.0.15", "/options-sentinel.dat", "C:\\Old\\dcomm2.exe");

    HWND options = OpenDialog(program, ID_CONFIGURE_OPTIONS, OPTIONS_CAPTION);
    ASSERT_TRUE(uidriver::ClickButtonAndWait(options, IDC_AUTODETECT));
    EXPECT_EQ(uidriver::GetControlText(options, IDC_TRANSFER_PATH), SENTINEL);
    PressOk(program, options);
    EXPECT_EQ(FileBytes(program, "config.txt"),
              Config("127.0.0.15", "/options-sentinel.dat", SENTINEL));
    EXPECT_EQ(StatusText(program), MissingUtilityText());
    EXPECT_TRUE(program.WaitForStateIcon(IDI_NOT_READY));
}

// Each row of what OK does: the readiness before the dialog, whether the
// transfer path is then the sentinel, whether the retrieval that follows a
// not-ready start succeeds, and what the window shows at the end.
struct OutcomeRow {
    const char* name;
    bool readyBefore;
    bool sentinel;
    bool serverHasFile;
    bool readyAfter;
};

TEST(OptionsTest, OkGivesEveryOutcomeOfTheTable) {
    const std::vector<OutcomeRow> rows{
        {"ready, a path", true, false, false, true},
        {"ready, the sentinel", true, true, false, false},
        {"not ready, a path, retrieval succeeds", false, false, true, true},
        {"not ready, a path, retrieval fails", false, false, false, false},
        {"not ready, the sentinel, retrieval succeeds", false, true, true, true},
        {"not ready, the sentinel, retrieval fails", false, true, false, false},
    };
    int hostNumber = 20;
    for (const OutcomeRow& row : rows) {
        SCOPED_TRACE(row.name);
        const std::string host = "127.0.0." + std::to_string(hostNumber++);
        ServedFile served("outcome.dat", CODES);
        ProgramUnderTest program("OptionsTest.Outcome" + std::to_string(hostNumber));
        StartReady(program, host, "/outcome.dat", "C:\\Tools\\dcomm2.exe");
        std::string before = RetrievedText(host, CODES_DATE);
        if (!row.readyBefore) {
            // Not ready through a failed retrieval from the menu.
            served.Remove();
            uidriver::PostMenuCommand(program.MainWindow(), ID_FILE_RETRIEVE);
            before = "Cannot retrieve codes file.";
            ASSERT_TRUE(uidriver::WaitForText(program.MainWindow(), IDC_STATUS, before));
        }
        // Any retrieval from here on succeeds only when the row says so.
        if (row.serverHasFile) {
            served.Put(CODES);
        } else {
            served.Remove();
        }

        HWND options = OpenDialog(program, ID_CONFIGURE_OPTIONS, OPTIONS_CAPTION);
        const OptionsBoxes edited{host, "/outcome.dat",
                                  row.sentinel ? SENTINEL : "D:\\New\\dcomm2.exe"};
        SetBoxes(options, edited);
        PressOk(program, options);
        EXPECT_EQ(FileBytes(program, "config.txt"),
                  Config(edited.host, edited.codesPath, edited.transferPath));

        std::string expected = before;
        if (!row.readyBefore) {
            expected =
                row.serverHasFile ? RetrievedText(host, CODES_DATE) : CANNOT_RETRIEVE_FROM_WWW;
        } else if (row.sentinel) {
            expected = MissingUtilityText();
        }
        EXPECT_EQ(StatusText(program), expected);
        EXPECT_TRUE(program.WaitForStateIcon(row.readyAfter ? IDI_READY : IDI_NOT_READY));
    }
}

}  // namespace
