#pragma once

// Test helpers: a fresh, empty folder for one test, removed with everything
// in it when the object goes out of scope, and whole files as bytes. Paths
// are UTF-8, as the program's are.

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>

namespace test_support {

namespace fs = std::filesystem;

// `path` (UTF-8) for the file system, and back.
inline fs::path FsPath(const std::string& path) {
    return fs::path(std::u8string(path.begin(), path.end()));
}
inline std::string TextOf(const fs::path& path) {
    const std::u8string text = path.u8string();
    return std::string(text.begin(), text.end());
}

class TempFolder {
public:
    // A random name, and a count for the folders of one process.
    TempFolder() {
        static std::atomic<unsigned> count{0};
        const fs::path path = fs::temp_directory_path(m_error) /
                              ("norvale-test-" + std::to_string(std::random_device{}()) + "-" +
                               std::to_string(count++));
        m_path = fs::create_directory(path, m_error) ? TextOf(path) : "";
    }
    ~TempFolder() { fs::remove_all(FsPath(m_path), m_error); }
    TempFolder(const TempFolder&) = delete;
    TempFolder& operator=(const TempFolder&) = delete;

    // The folder itself, without a trailing separator, and `name` in it.
    const std::string& Path() const { return m_path; }
    std::string PathOf(const std::string& name) const {
        return TextOf(FsPath(m_path) / FsPath(name));
    }

private:
    std::string m_path;
    std::error_code m_error;
};

// The raw bytes of the file at `path`; empty when it cannot be read.
inline std::string ReadBytes(const std::string& path) {
    std::ifstream file(FsPath(path), std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

// Creates or replaces the file at `path` with exactly `bytes`.
inline bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream file(FsPath(path), std::ios::binary | std::ios::trunc);
    return static_cast<bool>(file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())));
}

// True when something (a file or a folder) exists at `path`.
inline bool Exists(const std::string& path) {
    std::error_code error;
    return fs::exists(FsPath(path), error);
}

// How many entries the folder at `path` holds.
inline std::ptrdiff_t CountEntries(const std::string& path) {
    std::error_code error;
    return std::distance(fs::directory_iterator(FsPath(path), error), fs::directory_iterator());
}

}  // namespace test_support
