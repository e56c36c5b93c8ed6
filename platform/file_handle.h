#pragma once

// A C stream that closes itself when it goes out of scope.

#include <cstdio>
#include <memory>

namespace platform {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

inline FileHandle OpenFile(const char* path, const char* mode) {
    return FileHandle(std::fopen(path, mode));
}

}  // namespace platform
