// What the end-to-end tests set up around the program: files on the web
// server, the transfer utility at its usual locations, settings files.
#pragma once

#include <string>

#include "tests/e2e/program.h"

namespace e2e {

inline const char UTILITY_ON_C[] = "C:\\Program Files\\Dolphin File Transfer\\dcomm2.exe";
inline const char UTILITY_ON_D[] = "D:\\Program Files\\Dolphin File Transfer\\dcomm2.exe";
inline const char SENTINEL[] = "Autodetect Failed.";

// A codes file as served, and as the working copy holds it.
inline const char CODES[] = "2026-12-01 Building codes\nA100 Foundations\nB200 Framing\n";
inline const char CODES_DATE[] = "2026-12-01 Building codes";
inline const char CODES_ON_DISK[] =
    "2026-12-01 Building codes\r\nA100 Foundations\r\nB200 Framing\r\n";

// A file served by the web server, removed again at the end of the test.
class ServedFile {
public:
    ServedFile(const std::string& name, const std::string& bytes);
    ~ServedFile();
    ServedFile(const ServedFile&) = delete;
    ServedFile& operator=(const ServedFile&) = delete;

    void Put(const std::string& bytes) const;
    void Remove() const;

private:
    std::string m_path;
};

// The transfer utility at its usual location on drive C: or D:, for one
// test: the stand-in utility, which copies the file it is given into a
// folder "handheld" beside itself.
class InstalledUtility {
public:
    explicit InstalledUtility(char drive);
    ~InstalledUtility();
    InstalledUtility(const InstalledUtility&) = delete;
    InstalledUtility& operator=(const InstalledUtility&) = delete;

    const std::string& Path() const { return m_file; }
    // The folder into which the stand-in "loads the handheld".
    std::string HandheldFolder() const { return m_folder + "\\handheld\\"; }

private:
    std::string m_folder;
    std::string m_file;
};

// The bytes of a settings file with these three lines.
std::string Config(const std::string& host, const std::string& path, const std::string& transfer);

// "File retrieved from " host ... with the date line.
std::string RetrievedText(const std::string& host, const std::string& date);
std::string MissingUtilityText();

std::string StatusText(const ProgramUnderTest& program);
// The bytes of a file of the program folder (or a full path); a test
// failure when it cannot be read.
std::string FileBytes(const ProgramUnderTest& program, const std::string& name);

}  // namespace e2e
