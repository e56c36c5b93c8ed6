#include "platform/text_file.h"

#include "platform/file_handle.h"
#include "platform/file_system.h"

#include <array>
#include <cstddef>

namespace platform {
namespace {

constexpr char CR = '\r';
constexpr char LF = '\n';

// Size of each block read from a file.
constexpr std::size_t READ_BLOCK_SIZE = 64 * 1024;

}  // namespace

std::string ToDiskText(std::string_view text) {
    std::string bytes;
    bytes.reserve(text.size() + text.size() / 16);
    for (const char c : text) {
        if (c == LF) {
            bytes += CR;
        }
        bytes += c;
    }
    return bytes;
}

std::string FromDiskText(std::string_view bytes) {
    const std::size_t end = bytes.find(END_OF_TEXT_MARK);
    if (end != std::string_view::npos) {
        bytes = bytes.substr(0, end);
    }
    std::string text;
    text.reserve(bytes.size());
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const bool crBeforeLf = bytes[i] == CR && i + 1 < bytes.size() && bytes[i + 1] == LF;
        if (!crBeforeLf) {
            text += bytes[i];
        }
    }
    return text;
}

bool ReadBinaryFile(const std::string& path, std::string& bytes) {
    bytes.clear();
    const FileHandle file = OpenFile(path.c_str(), "rb");
    if (!file) {
        return false;
    }
    std::array<char, READ_BLOCK_SIZE> block{};
    for (;;) {
        const std::size_t count = std::fread(block.data(), 1, block.size(), file.get());
        bytes.append(block.data(), count);
        if (count < block.size()) {
            break;
        }
    }
    if (std::ferror(file.get()) != 0) {
        bytes.clear();
        return false;
    }
    return true;
}

bool ReadTextFile(const std::string& path, std::string& text) {
    std::string bytes;
    const bool ok = ReadBinaryFile(path, bytes);
    text = FromDiskText(bytes);
    return ok;
}

bool WriteTextFileSafely(const std::string& path, std::string_view text) {
    return ReplaceFileSafely(path, ToDiskText(text));
}

}  // namespace platform
