#pragma once

// A C stream that closes itself when it goes out of scope.

#include <cstdio>
#include <memory>
#include <string>

#include "platform/code_page.h"

namespace platform {

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};

using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens the file at `path` (UTF-8) in `mode` ("rb", "wb").
inline FileHandle OpenFile(const std::string& path, const char* mode) {
#ifdef _WIN32
    return FileHandle(_wfopen(WideFromText(path).c_str(), WideFromText(mode).c_str()));
#else
    return FileHandle(std::fopen(path.c_str(), mode));
#endif
}

}  // namespace platform
