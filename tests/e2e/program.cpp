#include "tests/e2e/program.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <memory>
#include <vector>

#include "res/resource.h"
#include "tools/uidriver/driver.h"

namespace e2e {
namespace {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

// A folder name for the running test, unique within one test run.
std::string TestFolderName() {
    const testing::TestInfo* info = testing::UnitTest::GetInstance()->current_test_info();
    return std::string(info->test_suite_name()) + "." + info->name();
}

}  // namespace

void RemoveTree(const std::string& folder) {
    WIN32_FIND_DATAA entry;
    HANDLE search = ::FindFirstFileA((folder + "*").c_str(), &entry);
    if (search != INVALID_HANDLE_VALUE) {
        do {
            const std::string name = entry.cFileName;
            if (name == "." || name == "..") {
                continue;
            }
            if (entry.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) {
                RemoveTree(folder + name + "\\");
            } else {
                ::SetFileAttributesA((folder + name).c_str(), FILE_ATTRIBUTE_NORMAL);
                ::DeleteFileA((folder + name).c_str());
            }
        } while (::FindNextFileA(search, &entry));
        ::FindClose(search);
    }
    ::RemoveDirectoryA(folder.c_str());
}

ProgramUnderTest::ProgramUnderTest(const std::string& folderName) {
    const std::string work = uidriver::ToWindowsPath(NORVALE_E2E_WORK_DIR) + "\\";
    ::CreateDirectoryA(work.c_str(), nullptr);
    const bool fullPath = folderName.size() > 1 && folderName[1] == ':';
    m_folder =
        (fullPath ? folderName : work + (folderName.empty() ? TestFolderName() : folderName)) +
        "\\";
    RemoveTree(m_folder);
    ::CreateDirectoryA(m_folder.c_str(), nullptr);
    ::CreateDirectoryA((m_folder + "temp").c_str(), nullptr);
    const std::string exe = uidriver::ToWindowsPath(NORVALE_EXE_PATH);
    EXPECT_TRUE(::CopyFileA(exe.c_str(), ExePath().c_str(), FALSE)) << exe;
}

ProgramUnderTest::~ProgramUnderTest() {
    if (m_process.hProcess == nullptr) {
        return;
    }
    if (::WaitForSingleObject(m_process.hProcess, 0) == WAIT_TIMEOUT) {
        ::TerminateProcess(m_process.hProcess, 1);
        ::WaitForSingleObject(m_process.hProcess, EXIT_TIMEOUT_MS);
    }
    ::CloseHandle(m_process.hThread);
    ::CloseHandle(m_process.hProcess);
}

bool ReadWholeFile(const std::string& path, std::string& bytes) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "rb"));
    if (file == nullptr) {
        return false;
    }
    bytes.clear();
    char buffer[4096];
    std::size_t count = 0;
    while ((count = std::fread(buffer, 1, sizeof buffer, file.get())) > 0) {
        bytes.append(buffer, count);
    }
    return true;
}

bool WriteWholeFile(const std::string& path, const std::string& bytes) {
    std::unique_ptr<std::FILE, FileCloser> file(std::fopen(path.c_str(), "wb"));
    return file != nullptr &&
           std::fwrite(bytes.data(), 1, bytes.size(), file.get()) == bytes.size();
}

namespace {

bool IsFullPath(const std::string& name) {
    return name.size() > 1 && name[1] == ':';
}

}  // namespace

void ProgramUnderTest::WriteFile(const std::string& name, const std::string& bytes) const {
    ASSERT_TRUE(WriteWholeFile(IsFullPath(name) ? name : m_folder + name, bytes)) << name;
}

bool ProgramUnderTest::ReadFile(const std::string& name, std::string& bytes) const {
    return ReadWholeFile(IsFullPath(name) ? name : m_folder + name, bytes);
}

bool ProgramUnderTest::FileExists(const std::string& name) const {
    return Exists(IsFullPath(name) ? name : m_folder + name);
}

bool ProgramUnderTest::Start(const std::string& currentFolder, DWORD windowTimeoutMs) {
    return Launch(currentFolder) && WaitForMainWindow(windowTimeoutMs);
}

bool ProgramUnderTest::WaitForMainWindow(DWORD timeoutMs) {
    m_mainWindow = uidriver::WaitForWindow(MAIN_CAPTION, m_process.dwProcessId, timeoutMs);
    return m_mainWindow != nullptr;
}

bool ProgramUnderTest::Exists(const std::string& path) {
    return ::GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
}

bool ProgramUnderTest::Launch(const std::string& currentFolder) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    std::string commandLine = "\"" + ExePath() + "\"";
    std::vector<char> mutableCommandLine(commandLine.begin(), commandLine.end());
    mutableCommandLine.push_back('\0');
    if (!::CreateProcessA(ExePath().c_str(), mutableCommandLine.data(), nullptr, nullptr, FALSE, 0,
                          nullptr, currentFolder.empty() ? m_folder.c_str() : currentFolder.c_str(),
                          &startup, &m_process)) {
        return false;
    }
    return true;
}

HWND ProgramUnderTest::WaitForWindow(const std::string& caption) const {
    return uidriver::WaitForWindow(caption, m_process.dwProcessId);
}

bool ProgramUnderTest::WaitForExit(DWORD& exitCode, DWORD timeoutMs) const {
    if (::WaitForSingleObject(m_process.hProcess, timeoutMs) != WAIT_OBJECT_0) {
        return false;
    }
    return ::GetExitCodeProcess(m_process.hProcess, &exitCode) != 0;
}

int ProgramUnderTest::StateIconShown() const {
    const std::vector<int> icons{IDI_NOT_READY, IDI_READY};
    const int index =
        uidriver::IdentifyIcon(::GetDlgItem(m_mainWindow, IDC_STATE_ICON), ExePath(), icons);
    return index < 0 ? 0 : icons[static_cast<std::size_t>(index)];
}

bool ProgramUnderTest::WaitForStateIcon(int iconId, DWORD timeoutMs) const {
    return uidriver::PollUntil(timeoutMs, [&] { return StateIconShown() == iconId; });
}

}  // namespace e2e
