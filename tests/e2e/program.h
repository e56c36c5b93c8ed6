// One run of the real Norvale.exe in a program folder of its own, driven
// through the UI driver.
#pragma once

#include <windows.h>

#include <string>

#include "tools/uidriver/driver.h"

namespace e2e {

// The whole content of a file; false when it cannot be read.
bool ReadWholeFile(const std::string& path, std::string& bytes);
// Deletes the folder (a path ending in a backslash) with all it holds.
void RemoveTree(const std::string& folder);
// Creates or replaces a file; false when it cannot be written.
bool WriteWholeFile(const std::string& path, const std::string& bytes);

// Caption of the main window.
inline const char MAIN_CAPTION[] = "Tessaly";
inline constexpr DWORD EXIT_TIMEOUT_MS = 20000;

class ProgramUnderTest {
public:
    // Makes a fresh program folder named after the running test (or
    // `folderName`, or the full path `folderName` when it names a drive): a
    // copy of Norvale.exe and an empty temp folder.
    explicit ProgramUnderTest(const std::string& folderName = std::string());
    // Ends the program if it is still running.
    ~ProgramUnderTest();
    ProgramUnderTest(const ProgramUnderTest&) = delete;
    ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

    // The program folder, as a Windows path ending in a backslash.
    const std::string& Folder() const { return m_folder; }
    std::string ExePath() const { return m_folder + "Norvale.exe"; }
    std::string WorkingCopyPath() const { return m_folder + "temp\\CODES.DAT"; }
    // Files by name relative to the program folder, or by full Windows path.
    void WriteFile(const std::string& name, const std::string& bytes) const;
    // False when the file cannot be read.
    bool ReadFile(const std::string& name, std::string& bytes) const;
    bool FileExists(const std::string& name) const;

    // Starts the program and waits for its main window. The current folder
    // is the program folder unless another is given.
    bool Start(const std::string& currentFolder = std::string(),
               DWORD windowTimeoutMs = uidriver::kDefaultTimeoutMs);
    // The two halves of Start: start the process, wait for the main window.
    bool Launch(const std::string& currentFolder = std::string());
    bool WaitForMainWindow(DWORD timeoutMs = uidriver::kDefaultTimeoutMs);
    HWND MainWindow() const { return m_mainWindow; }
    static bool Exists(const std::string& path);
    DWORD ProcessId() const { return m_process.dwProcessId; }
    // Waits for a top-level window of the program with this caption.
    HWND WaitForWindow(const std::string& caption) const;
    // True once the process has ended, with its exit code.
    bool WaitForExit(DWORD& exitCode, DWORD timeoutMs = EXIT_TIMEOUT_MS) const;
    // Which of the state icons the status icon shows: IDI_NOT_READY,
    // IDI_READY, or 0 when neither.
    int StateIconShown() const;
    // True once the status icon shows `iconId`.
    bool WaitForStateIcon(int iconId, DWORD timeoutMs = EXIT_TIMEOUT_MS) const;

private:
    std::string m_folder;
    PROCESS_INFORMATION m_process{};
    HWND m_mainWindow = nullptr;
};

}  // namespace e2e
