#include "platform/file_system.h"

#include "platform/code_page.h"
#include "platform/file_handle.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <sys/stat.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace platform {
namespace {

// Suffix of the temporary file written next to the file being replaced.
constexpr char TEMPORARY_SUFFIX[] = ".tmp";
// Names tried for a temporary file before giving up.
constexpr int TEMPORARY_NAME_ATTEMPTS = 100;

// First buffer size tried when asking the system for the executable's path;
// doubled until the path fits.
constexpr std::size_t INITIAL_PATH_BUFFER = 260;
// Paths longer than this are not plausible; stop growing the buffer there.
constexpr std::size_t MAXIMUM_PATH_BUFFER = 64 * 1024;

// Pushes the stream's data through the C runtime and the operating system to
// the disk, so that the rename that follows never exposes a file whose
// content is still only in memory.
bool FlushToDisk(std::FILE* file) {
    if (std::fflush(file) != 0) {
        return false;
    }
#ifdef _WIN32
    return _commit(_fileno(file)) == 0;
#else
    return fsync(fileno(file)) == 0;
#endif
}

#ifdef _WIN32
// A scanner, an indexer or a backup agent often opens a file that was just
// written, for a moment and without sharing its deletion: replacing or
// removing the file then fails with one of these two errors. Such a step is
// tried again for a short while; any other failure ends it at once.
constexpr ULONGLONG HELD_FILE_PATIENCE_MS = 1000;
constexpr DWORD HELD_FILE_PAUSE_MS = 50;

template <class Step>
bool RetryWhileHeld(Step step) {
    const ULONGLONG end = GetTickCount64() + HELD_FILE_PATIENCE_MS;
    while (!step()) {
        const DWORD error = GetLastError();
        if ((error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED) ||
            GetTickCount64() >= end) {
            return false;
        }
        Sleep(HELD_FILE_PAUSE_MS);
    }
    return true;
}

int ProcessId() {
    return _getpid();
}
// Creates the file at `path` for writing, failing when any file has that name.
int CreateExclusively(const std::string& path) {
    return _wopen(WideFromText(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                  _S_IREAD | _S_IWRITE);
}
std::FILE* StreamFor(int descriptor) {
    return _fdopen(descriptor, "wb");
}
void CloseDescriptor(int descriptor) {
    _close(descriptor);
}
void RemoveFile(const std::string& path) {
    const std::wstring wide = WideFromText(path);
    RetryWhileHeld([&wide] { return DeleteFileW(wide.c_str()) != 0; });
}
#else
int ProcessId() {
    return static_cast<int>(getpid());
}
int CreateExclusively(const std::string& path) {
    constexpr mode_t FILE_MODE = 0666;  // narrowed by the process's umask
    return open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, FILE_MODE);
}
std::FILE* StreamFor(int descriptor) {
    return fdopen(descriptor, "wb");
}
void CloseDescriptor(int descriptor) {
    close(descriptor);
}
void RemoveFile(const std::string& path) {
    std::remove(path.c_str());
}
#endif

// A name for a temporary file beside `path`: `path` "." the process id "-" a
// count of this process's names and the clock ".tmp".
std::string TemporaryNameFor(const std::string& path) {
    static std::atomic<unsigned long> names{0};
    constexpr long long CLOCK_DIGITS = 1000000;
    const long long ticks = std::chrono::steady_clock::now().time_since_epoch().count();
    return path + "." + std::to_string(ProcessId()) + "-" + std::to_string(names++) +
           std::to_string(ticks % CLOCK_DIGITS) + TEMPORARY_SUFFIX;
}

// Creates, for binary writing, a new file beside `path` under a name that no
// file has: it is created exclusively, so an existing file is never opened.
// Null when no such file could be created.
std::FILE* CreateTemporaryFile(const std::string& path, std::string& temporaryPath) {
    for (int attempt = 0; attempt < TEMPORARY_NAME_ATTEMPTS; ++attempt) {
        temporaryPath = TemporaryNameFor(path);
        const int descriptor = CreateExclusively(temporaryPath);
        if (descriptor < 0 && errno == EEXIST) {
            continue;
        }
        if (descriptor < 0) {
            return nullptr;
        }
        std::FILE* file = StreamFor(descriptor);
        if (file == nullptr) {
            CloseDescriptor(descriptor);
            RemoveFile(temporaryPath);
        }
        return file;
    }
    return nullptr;
}

// Writes the new content to `file`, pushes it to the disk and closes it.
bool WriteWholeFile(std::FILE* file, const ContentWriter& writeContent) {
    const bool written = writeContent(file);
    const bool flushed = written && FlushToDisk(file);
    const bool closed = std::fclose(file) == 0;
    return written && flushed && closed;
}

// Puts `from` in place of `to` in one step, replacing `to` if it exists.
bool MoveIntoPlace(const std::string& from, const std::string& to) {
#ifdef _WIN32
    // A read-only file, or a folder, is not replaced: Windows refuses it, and
    // the check makes every implementation of the file system behave alike
    // (and gives a refusal that no wait would change at once).
    const std::wstring source = WideFromText(from), target = WideFromText(to);
    const DWORD attributes = GetFileAttributesW(target.c_str());
    constexpr DWORD NEVER_REPLACED = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DIRECTORY;
    if (attributes != INVALID_FILE_ATTRIBUTES && (attributes & NEVER_REPLACED) != 0) {
        return false;
    }
    return RetryWhileHeld([&] {
        return MoveFileExW(source.c_str(), target.c_str(),
                           MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
    });
#else
    return std::rename(from.c_str(), to.c_str()) == 0;
#endif
}

bool IsRegularFile(std::FILE* file) {
#ifdef _WIN32
    // Windows does not open folders as streams.
    (void)file;
    return true;
#else
    struct stat status {};
    return fstat(fileno(file), &status) == 0 && S_ISREG(status.st_mode);
#endif
}

FileIdentity IdentityOf(const std::string& path) {
    FileIdentity identity;
#ifdef _WIN32
    // Opened for no access at all: enough to ask for the file's numbers, and
    // it succeeds even when another program holds the file open.
    const HANDLE handle = CreateFileW(WideFromText(path).c_str(), 0,
                                      FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                      nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (handle == INVALID_HANDLE_VALUE) {
        return identity;
    }
    BY_HANDLE_FILE_INFORMATION information{};
    if (GetFileInformationByHandle(handle, &information) != 0) {
        constexpr unsigned HIGH_PART_SHIFT = 32;
        const auto join = [](DWORD high, DWORD low) {
            return (static_cast<unsigned long long>(high) << HIGH_PART_SHIFT) | low;
        };
        identity.known = true;
        identity.volume = information.dwVolumeSerialNumber;
        identity.index = join(information.nFileIndexHigh, information.nFileIndexLow);
        identity.size = join(information.nFileSizeHigh, information.nFileSizeLow);
        identity.lastWrite = join(information.ftLastWriteTime.dwHighDateTime,
                                  information.ftLastWriteTime.dwLowDateTime);
    }
    CloseHandle(handle);
#else
    struct stat status {};
    if (stat(path.c_str(), &status) == 0) {
        constexpr unsigned long long NANOSECONDS = 1000000000ULL;
        identity.known = true;
        identity.volume = static_cast<unsigned long long>(status.st_dev);
        identity.index = static_cast<unsigned long long>(status.st_ino);
        identity.size = static_cast<unsigned long long>(status.st_size);
        identity.lastWrite = static_cast<unsigned long long>(status.st_mtim.tv_sec) * NANOSECONDS +
                             static_cast<unsigned long long>(status.st_mtim.tv_nsec);
    }
#endif
    return identity;
}

}  // namespace

bool ReplaceFileSafely(const std::string& path, std::string_view bytes) {
    return ReplaceFileSafelyWith(path, [bytes](std::FILE* file) {
        return std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
    });
}

bool ReplaceFileSafelyWith(const std::string& path, const ContentWriter& writeContent) {
    std::string temporaryPath;
    std::FILE* file = CreateTemporaryFile(path, temporaryPath);
    if (file == nullptr) {
        return false;
    }
    if (!WriteWholeFile(file, writeContent) || !MoveIntoPlace(temporaryPath, path)) {
        RemoveFile(temporaryPath);
        return false;
    }
    return true;
}

bool CanOpenForReading(const std::string& path) {
    const FileHandle file = OpenFile(path, "rb");
    return file && IsRegularFile(file.get());
}

bool IsSameIdentity(const FileIdentity& one, const FileIdentity& other) {
    return one.known && other.known && one.index != 0 && one.volume == other.volume &&
           one.index == other.index && one.size == other.size && one.lastWrite == other.lastWrite;
}

bool IsSameFile(const std::string& first, const std::string& second) {
    return IsSameIdentity(IdentityOf(first), IdentityOf(second));
}

bool IsFolder(const std::string& path) {
#ifdef _WIN32
    const DWORD attributes = GetFileAttributesW(WideFromText(path).c_str());
    return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
#else
    struct stat status {};
    return stat(path.c_str(), &status) == 0 && S_ISDIR(status.st_mode);
#endif
}

bool CreateFolderIfMissing(const std::string& path) {
    if (IsFolder(path)) {
        return true;
    }
#ifdef _WIN32
    CreateDirectoryW(WideFromText(path).c_str(), nullptr);
#else
    constexpr mode_t FOLDER_MODE = 0777;  // narrowed by the process's umask
    mkdir(path.c_str(), FOLDER_MODE);
#endif
    // Judge by the outcome: another process may have created it meanwhile.
    return IsFolder(path);
}

bool GetExecutablePath(std::string& path) {
    path.clear();
    for (std::size_t size = INITIAL_PATH_BUFFER; size <= MAXIMUM_PATH_BUFFER; size *= 2) {
#ifdef _WIN32
        std::vector<wchar_t> buffer(size);
        const DWORD length = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(size));
        if (length == 0) {
            return false;
        }
        // A result that fills the whole buffer may have been cut short.
        if (static_cast<std::size_t>(length) < size) {
            path = TextFromWide({buffer.data(), length});
            return true;
        }
#else
        std::vector<char> buffer(size);
        const ssize_t length = readlink("/proc/self/exe", buffer.data(), size);
        if (length < 0) {
            return false;
        }
        if (static_cast<std::size_t>(length) < size) {
            path.assign(buffer.data(), static_cast<std::size_t>(length));
            return true;
        }
#endif
    }
    return false;
}

bool GetCurrentFolder(std::string& folder) {
    folder.clear();
#ifdef _WIN32
    // The size asked for includes the terminating NUL; the result does not.
    const DWORD size = GetCurrentDirectoryW(0, nullptr);
    std::vector<wchar_t> buffer(size + 1);
    const DWORD length = size == 0 ? 0 : GetCurrentDirectoryW(size, buffer.data());
    if (length == 0 || length >= size) {
        return false;
    }
    folder = TextFromWide({buffer.data(), length});
    return true;
#else
    for (std::size_t size = INITIAL_PATH_BUFFER; size <= MAXIMUM_PATH_BUFFER; size *= 2) {
        std::vector<char> buffer(size);
        if (getcwd(buffer.data(), size) != nullptr) {
            folder = buffer.data();
            return true;
        }
        if (errno != ERANGE) {
            return false;
        }
    }
    return false;
#endif
}

std::string InCurrentFolder(const std::string& name) {
    std::string folder;
    if (!GetCurrentFolder(folder)) {
        return name;
    }
    // A drive's root ("C:\") already ends in a separator.
    if (folder.empty() || folder.back() != PATH_SEPARATOR) {
        folder += PATH_SEPARATOR;
    }
    return folder + name;
}

}  // namespace platform
