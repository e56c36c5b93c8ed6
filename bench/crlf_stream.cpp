// A plain streaming LF to CR LF conversion, the least work that turns a file
// with LF line ends into one with CR LF line ends: fixed-size blocks in, each
// LF found with memchr and written as CR LF, nothing else kept in memory.
// The reference for the time of Open's copy.
//
//   crlf_stream [--safe] SOURCE DESTINATION
//
// With --safe it writes DESTINATION.new, pushes it to the disk and renames it
// over DESTINATION, as a safe replacement of a file must.
//
// Exit status 0 on success, 1 when a file cannot be read or written, 2 for a
// wrong command line.
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

namespace {

constexpr int ARGUMENT_COUNT = 3;
constexpr char SAFE_OPTION[] = "--safe";
constexpr char NEW_SUFFIX[] = ".new";
constexpr int EXIT_USAGE = 2;
constexpr std::size_t BLOCK_SIZE = 64 * 1024;
constexpr char CR_LF[] = "\r\n";
constexpr std::size_t CR_LF_LENGTH = 2;

struct FileCloser {
    void operator()(std::FILE* file) const { std::fclose(file); }
};
using File = std::unique_ptr<std::FILE, FileCloser>;

// Converts `size` bytes at `block` into `converted` (each LF as CR LF) and
// writes them to `out` with one call. False on a write error.
bool WriteConverted(const char* block, std::size_t size, std::vector<char>& converted,
                    std::FILE* out) {
    converted.clear();
    const char* const end = block + size;
    while (block < end) {
        const void* found = std::memchr(block, '\n', static_cast<std::size_t>(end - block));
        const char* const lineEnd = found != nullptr ? static_cast<const char*>(found) : end;
        converted.insert(converted.end(), block, lineEnd);
        if (lineEnd == end) {
            break;
        }
        converted.insert(converted.end(), CR_LF, CR_LF + CR_LF_LENGTH);
        block = lineEnd + 1;
    }
    return std::fwrite(converted.data(), 1, converted.size(), out) == converted.size();
}

}  // namespace

int main(int argc, char** argv) {
    const bool safe = argc == ARGUMENT_COUNT + 1 && std::strcmp(argv[1], SAFE_OPTION) == 0;
    if (argc != ARGUMENT_COUNT + (safe ? 1 : 0)) {
        std::fputs("usage: crlf_stream [--safe] SOURCE DESTINATION\n", stderr);
        return EXIT_USAGE;
    }
    const char* const source = argv[safe ? 2 : 1];
    const std::string destination = argv[safe ? 3 : 2];
    const std::string written = safe ? destination + NEW_SUFFIX : destination;
    const File in(std::fopen(source, "rb"));
    File out(std::fopen(written.c_str(), "wb"));
    if (!in || !out) {
        std::fputs("crlf_stream: cannot open the files\n", stderr);
        return EXIT_FAILURE;
    }
    std::vector<char> block(BLOCK_SIZE);
    // At most every byte of a block is an LF: twice its size always suffices.
    std::vector<char> converted;
    converted.reserve(2 * BLOCK_SIZE);
    for (;;) {
        const std::size_t count = std::fread(block.data(), 1, block.size(), in.get());
        if (!WriteConverted(block.data(), count, converted, out.get())) {
            std::fputs("crlf_stream: write failed\n", stderr);
            return EXIT_FAILURE;
        }
        if (count < block.size()) {
            break;
        }
    }
    if (std::ferror(in.get()) != 0 || std::fflush(out.get()) != 0) {
        std::fputs("crlf_stream: read or write failed\n", stderr);
        return EXIT_FAILURE;
    }
    if (!safe) {
        return EXIT_SUCCESS;
    }
    const bool pushed = ::fsync(fileno(out.get())) == 0;
    if (std::fclose(out.release()) != 0 || !pushed ||
        std::rename(written.c_str(), destination.c_str()) != 0) {
        std::fputs("crlf_stream: cannot replace the destination\n", stderr);
        return EXIT_FAILURE;
    }
    return EXIT_SUCCESS;
}
