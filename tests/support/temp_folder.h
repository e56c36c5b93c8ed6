#pragma once

// Test helpers: a fresh, empty folder for one test, removed with everything
// in it when the object goes out of scope, and whole files as bytes.

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace test_support {

namespace fs = std::filesystem;

class TempFolder {
public:
    // A random name, and a count for the folders of one process.
    TempFolder() {
        static std::atomic<unsigned> count{0};
        const fs::path path = fs::temp_directory_path(m_error) /
                              ("norvale-test-" + std::to_string(std::random_device{}()) + "-" +
                               std::to_string(count++));
        m_path = fs::create_directory(path, m_error) ? path.string() : "";
    }
    ~TempFolder() { fs::remove_all(m_path, m_error); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder itself, without a trailing separator, and `name` in it.
    const std::string& Path() const { return m_path; }
    std::string PathOf(const std::string& name) const { return (fs::path(m_path) / name).string(); }

private:
    std::string m_path;
    std::error_code m_error;
};

// The raw bytes of the file at `path`; empty when it cannot be read.
inline std::string ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Creates or replaces the file at `path` with exactly `bytes`.
inline bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    return static_cast<bool>(file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())));
}

// True when something (a file or a folder) exists at `path`.
inline bool Exists(const std::string& path) {
    std::error_code error;
    return fs::exists(path, error);
}

// How many entries the folder at `path` holds.
inline std::ptrdiff_t CountEntries(const std::string& path) {
    std::error_code error;
    return std::distance(fs::directory_iterator(path, error), fs::directory_iterator());
}

}  // namespace test_support
