#include "tests/support/temp_folder.h"

#include <atomic>
#include <cstdio>
#include <filesystem>
#include <random>
#include <set>

namespace test_support {
namespace {

namespace fs = std::filesystem;

// Size of each block read by ReadBytes.
constexpr std::size_t READ_BLOCK_SIZE = 4096;

// Attempts at finding an unused folder name before giving up.
constexpr int NAME_ATTEMPTS = 100;

std::string UniqueName() {
    static std::atomic<unsigned> counter{0};
    static std::mt19937 generator{std::random_device{}()};
    return "norvale-test-" + std::to_string(generator()) + "-" + std::to_string(counter++);
}

}  // namespace

TempFolder::TempFolder() {
    std::error_code error;
    const fs::path base = fs::temp_directory_path(error);
    for (int attempt = 0; attempt < NAME_ATTEMPTS; ++attempt) {
        const fs::path candidate = base / UniqueName();
        if (fs::create_directory(candidate, error)) {
            m_path = candidate.string();
            return;
        }
    }
}

TempFolder::~TempFolder() {
    if (m_path.empty()) {
        return;
    }
    std::error_code error;
    fs::remove_all(m_path, error);
}

std::string TempFolder::PathOf(const std::string& name) const {
    return (fs::path(m_path) / name).string();
}

std::string ReadBytes(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) {
        return {};
    }
    std::string bytes;
    char block[READ_BLOCK_SIZE];
    std::size_t count = 0;
    while ((count = std::fread(block, 1, sizeof block, file)) > 0) {
        bytes.append(block, count);
    }
    std::fclose(file);
    return bytes;
}

bool WriteBytes(const std::string& path, const std::string& bytes) {
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) {
        return false;
    }
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    return std::fclose(file) == 0 && written;
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
