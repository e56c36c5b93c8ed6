#pragma once

// A fresh, empty folder for one test, removed with everything in it when the
// object goes out of scope.

#include <string>

namespace test_support {

class TempFolder {
public:
    TempFolder();
    ~TempFolder();
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder itself, without a trailing separator.
    const std::string& Path() const { return m_path; }

    // The path of `name` inside the folder.
    std::string PathOf(const std::string& name) const;

private:
    std::string m_path;
};

// The raw bytes of the file at `path`; empty when it cannot be read.
std::string ReadBytes(const std::string& path);

// Creates or replaces the file at `path` with exactly `bytes`.
bool WriteBytes(const std::string& path, const std::string& bytes);

// True when something (a file or a folder) exists at `path`.
bool Exists(const std::string& path);

// The names of the entries in the folder at `path`, sorted.
std::string ListFolder(const std::string& path);

}  // namespace test_support
