#include "tests/e2e/fixtures.h"

#include <gtest/gtest.h>

#include "res/resource.h"
#include "tools/uidriver/driver.h"

namespace e2e {
namespace {

const char UTILITY_FOLDER[] = ":\\Program Files\\Dolphin File Transfer";

}  // namespace

ServedFile::ServedFile(const std::string& name, const std::string& bytes)
    : m_path(uidriver::ToWindowsPath(NORVALE_E2E_WWW_DIR) + "\\" + name) {
    Put(bytes);
}

ServedFile::~ServedFile() {
    Remove();
}

void ServedFile::Put(const std::string& bytes) const {
    EXPECT_TRUE(WriteWholeFile(m_path, bytes)) << m_path;
}

void ServedFile::Remove() const {
    ::DeleteFileA(m_path.c_str());
}

InstalledUtility::InstalledUtility(char drive)
    : m_folder(std::string(1, drive) + UTILITY_FOLDER), m_file(m_folder + "\\dcomm2.exe") {
    ::CreateDirectoryA((std::string(1, drive) + ":\\Program Files").c_str(), nullptr);
    ::CreateDirectoryA(m_folder.c_str(), nullptr);
    const std::string standIn = uidriver::ToWindowsPath(NORVALE_FAKE_DCOMM2_PATH);
    EXPECT_TRUE(::CopyFileA(standIn.c_str(), m_file.c_str(), FALSE)) << m_file;
}

InstalledUtility::~InstalledUtility() {
    RemoveTree(HandheldFolder());
    ::DeleteFileA(m_file.c_str());
    ::RemoveDirectoryA(m_folder.c_str());
}

std::string Config(const std::string& host, const std::string& path, const std::string& transfer) {
    return host + "\r\n" + path + "\r\n" + transfer + "\r\n";
}

std::string RetrievedText(const std::string& host, const std::string& date) {
    return "File retrieved from " + host + ".\r\nCurrent Building Code date: " + date +
           "\r\nReady to perform update.";
}

std::string MissingUtilityText() {
    return "Unable to locate Dolphin File Transfer: \"dcomm2.exe\"\r\n"
           "Please locate it manually.\r\n"
           "Select Configure->Options.";
}

std::string StatusText(const ProgramUnderTest& program) {
    return uidriver::GetControlText(program.MainWindow(), IDC_STATUS);
}

std::string FileBytes(const ProgramUnderTest& program, const std::string& name) {
    std::string bytes;
    EXPECT_TRUE(program.ReadFile(name, bytes)) << name;
    return bytes;
}

}  // namespace e2e
