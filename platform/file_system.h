#pragma once

// File-system services whose calls differ between Windows and POSIX. Every
// path is UTF-8 (see platform/code_page.h); on Windows it reaches the system
// through the wide-character functions.

#include <cstdio>
#include <functional>
#include <string>
#include <string_view>

namespace platform {

// The folder separator native to the platform the program runs on.
#ifdef _WIN32
inline constexpr char PATH_SEPARATOR = '\\';
#else
inline constexpr char PATH_SEPARATOR = '/';
#endif

// Replaces the whole content of the file at `path` with `bytes` (written as
// they are, no text conversion). The bytes go to a new temporary file first,
// created beside `path` under a name no file has (so no other file is ever
// touched), are flushed to disk, and the temporary file then takes the place
// of the old one in a single step. On any failure the old file (if there was one) is left
// whole, no temporary file remains, and the result is false. On Windows a
// file another program holds for a moment (a scanner) is waited for, for a
// second at most.
bool ReplaceFileSafely(const std::string& path, std::string_view bytes);

// Writes a file's new content to the open binary stream `file`; false when a
// write failed.
using ContentWriter = std::function<bool(std::FILE* file)>;

// As ReplaceFileSafely, with the new content written by `writeContent`, so
// that a large content need not be held in memory whole.
bool ReplaceFileSafelyWith(const std::string& path, const ContentWriter& writeContent);

// True when the file at `path` exists and can be opened for reading. A folder
// does not count.
bool CanOpenForReading(const std::string& path);

// What tells one file from every other, as far as the file system says: the
// volume, the file's number on it, its size and its last write time. Valid
// only when `known` is true.
struct FileIdentity {
    bool known = false;
    unsigned long long volume = 0;
    unsigned long long index = 0;
    unsigned long long size = 0;
    unsigned long long lastWrite = 0;
};

// True when both are known and agree in all four, with a number that is not
// 0: some file systems (network and cloud drives) number every file 0, which
// tells nothing.
bool IsSameIdentity(const FileIdentity& one, const FileIdentity& other);

// True when `first` and `second` both name one existing file, however the
// two paths are spelled (letter case, separators, relative or full, links).
// False when either cannot be opened.
bool IsSameFile(const std::string& first, const std::string& second);

// True when `path` names an existing folder.
bool IsFolder(const std::string& path);

// Creates the folder at `path` unless it already exists (only the last
// component is created). True when the folder exists afterwards.
bool CreateFolderIfMissing(const std::string& path);

// Full path of the running executable; false when it cannot be determined.
bool GetExecutablePath(std::string& path);

// The process's current folder, as a full path; false when it cannot be told.
bool GetCurrentFolder(std::string& folder);

// `name` in the process's current folder as it is now, as a full path;
// `name` itself when the current folder cannot be told.
std::string InCurrentFolder(const std::string& name);

}  // namespace platform
