#include "tests/support/temp_folder.h"

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <set>

namespace test_support {

namespace fs = std::filesystem;

TempFolder::TempFolder() {
    static std::atomic<unsigned> count{0};
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    for (int attempt = 0; attempt < 100 && m_path.empty(); ++attempt) {
        const fs::path candidate =
            base / ("norvale-test-" + std::to_string(std::random_device{}()) + "-" +
                    std::to_string(count++));
        if (fs::create_directory(candidate, error)) {
            m_path = candidate.string();
        }
    }
}

TempFolder::~TempFolder() {
    std::error_code error;
    fs::remove_all(m_path, error);
}

std::string TempFolder::PathOf(const std::string& name) const {
    return (fs::path(m_path) / name).string();
}

std::string ReadBytes(const std::string& path) {
    std::ifstream file(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    return static_cast<bool>(
        file.write(bytes.data(), static_cast<std::streamsize>(bytes.size())).flush());
}

bool Exists(const std::string& path) {
    std::error_code error;
    return fs::exists(path, error);
}

std::string ListFolder(const std::string& path) {
    std::set<std::string> names;
    std::error_code error;
    for (const fs::directory_entry& entry : fs::directory_iterator(path, error)) {
        names.insert(entry.path().filename().string());
    }
    std::string listing;
    for (const std::string& name : names) {
        listing += name + "\n";
    }
    return listing;
}

}  // namespace test_support
