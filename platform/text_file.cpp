#include "platform/text_file.h"

#include "platform/file_handle.h"
#include "platform/file_system.h"

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>

#ifdef _WIN32
#include <io.h>
#else
#include <sys/stat.h>
#endif

namespace platform {
namespace {

// Size of each block read from a file.
constexpr std::size_t READ_BLOCK_SIZE = 64 * 1024;
// Size of each block of text converted and written at a time.
constexpr std::size_t WRITE_BLOCK_SIZE = 64 * 1024;

// The number of LF bytes in `text`, found with memchr, which is far quicker
// on long texts than looking at each byte in turn.
std::size_t CountLineFeeds(std::string_view text) {
    std::size_t count = 0;
    const char* next = text.data();
    const char* const end = next + text.size();
    while (next < end) {
        const void* found = std::memchr(next, LF, static_cast<std::size_t>(end - next));
        if (found == nullptr) {
            break;
        }
        ++count;
        next = static_cast<const char*>(found) + 1;
    }
    return count;
}

// Drops, in place, the CR of every CR LF pair. The bytes between two CRs are
// moved as one block, so a text with LF line ends alone is only scanned,
// never copied.
void JoinCrLfInPlace(std::string& text) {
    if (text.empty()) {
        return;
    }
    char* const begin = &text[0];
    const char* const end = begin + text.size();
    const char* read = begin;
    char* write = begin;
    for (;;) {
        const void* found = std::memchr(read, CR, static_cast<std::size_t>(end - read));
        const char* const cr = found != nullptr ? static_cast<const char*>(found) : end;
        const std::size_t runLength = static_cast<std::size_t>(cr - read);
        if (write != read) {
            std::memmove(write, read, runLength);
        }
        write += runLength;
        if (cr == end) {
            break;
        }
        const bool crBeforeLf = cr + 1 < end && cr[1] == LF;
        if (!crBeforeLf) {
            *write++ = CR;
        }
        read = cr + 1;
    }
    text.resize(static_cast<std::size_t>(write - begin));
}

// Cuts `text` at its first Ctrl-Z and joins its CR LF pairs, in place.
void DiskBytesToText(std::string& text) {
    const std::size_t endMark = text.find(END_OF_TEXT_MARK);
    if (endMark != std::string::npos) {
        text.resize(endMark);
    }
    JoinCrLfInPlace(text);
}

// Appends `text` to `bytes` in its on-disk form (LF -> CR LF), each line
// copied as one block.
void AppendDiskText(std::string_view text, std::string& bytes) {
    const char* next = text.data();
    const char* const end = next + text.size();
    while (next < end) {
        const void* found = std::memchr(next, LF, static_cast<std::size_t>(end - next));
        const char* const lineEnd = found != nullptr ? static_cast<const char*>(found) : end;
        bytes.append(next, static_cast<std::size_t>(lineEnd - next));
        if (lineEnd == end) {
            break;
        }
        bytes += CR;
        bytes += LF;
        next = lineEnd + 1;
    }
}

// Writes `text` to `file` in its on-disk form, converted a block at a time,
// so that the whole on-disk form is never held in memory. False when a write
// failed.
bool WriteDiskText(std::string_view text, std::FILE* file) {
    std::string block;
    // Every byte of a block may be an LF: twice its size always suffices.
    block.reserve(2 * WRITE_BLOCK_SIZE);
    while (!text.empty()) {
        block.clear();
        AppendDiskText(text.substr(0, WRITE_BLOCK_SIZE), block);
        text.remove_prefix(std::min(text.size(), WRITE_BLOCK_SIZE));
        if (std::fwrite(block.data(), 1, block.size(), file) != block.size()) {
            return false;
        }
    }
    return true;
}

// The size of the open regular file `file` in bytes, or 0 when it cannot be
// told; the file is then read without a size hint.
unsigned long long FileSize(std::FILE* file) {
#ifdef _WIN32
    // Windows does not open folders as streams.
    const long long size = _filelengthi64(_fileno(file));
#else
    // A folder opened as a stream may report any size; only a regular file's
    // size is taken.
    struct stat status {};
    if (fstat(fileno(file), &status) != 0 || !S_ISREG(status.st_mode)) {
        return 0;
    }
    const long long size = status.st_size;
#endif
    return size > 0 ? static_cast<unsigned long long>(size) : 0;
}

}  // namespace

std::string ToDiskText(std::string_view text) {
    // Sized exactly before the copy, so that a long text is never moved
    // while it grows.
    std::string bytes;
    bytes.reserve(text.size() + CountLineFeeds(text));
    AppendDiskText(text, bytes);
    return bytes;
}

std::string FromDiskText(std::string_view bytes) {
    std::string text(bytes);
    DiskBytesToText(text);
    return text;
}

std::string JoinCrLf(std::string_view bytes) {
    std::string text(bytes);
    JoinCrLfInPlace(text);
    return text;
}

bool ReadBinaryFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    const FileHandle file = OpenFile(path, "rb");
    if (!file) {
        return false;
    }
    // A file too large to hold in memory cannot be read: that, or a failed
    // allocation, is a failure to read, not the end of the program.
    const unsigned long long size = FileSize(file.get());
    if (size >= bytes.max_size()) {
        return false;
    }
    try {
        // Room for the whole file at once (the file may still change
        // meanwhile, so the reading below does not rely on it), and one byte
        // more, so that a reader that ends the last line with an LF need not
        // copy the text.
        bytes.reserve(static_cast<std::size_t>(size) + 1);
        std::array<char, READ_BLOCK_SIZE> block{};
        for (;;) {
            const std::size_t count = std::fread(block.data(), 1, block.size(), file.get());
            bytes.append(block.data(), count);
            if (count < block.size()) {
                break;
            }
        }
    } catch (const std::bad_alloc&) {
        bytes = std::string();
        return false;
    } catch (const std::length_error&) {
        bytes = std::string();
        return false;
    }
    if (std::ferror(file.get()) != 0) {
        bytes.clear();
        return false;
    }
    return true;
}

bool ReadTextFile(const std::string& path, std::string& text) {
    // Converted where it was read: a large file is never held twice.
    const bool ok = ReadBinaryFile(path, text);
    DiskBytesToText(text);
    return ok;
}

bool ReadTextLines(const std::string& path, std::string& text) {
    if (!ReadTextFile(path, text)) {
        return false;
    }
    if (!text.empty() && text.back() != LF) {
        text += LF;
    }
    return true;
}

bool WriteTextFileSafely(const std::string& path, std::string_view text) {
    return ReplaceFileSafelyWith(path,
                                 [text](std::FILE* file) { return WriteDiskText(text, file); });
}

}  // namespace platform
