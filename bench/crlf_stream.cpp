// A plain streaming LF to CR LF conversion, the least work that turns a file
// with LF line ends into one with CR LF line ends: fixed-size blocks in, each
// LF found with memchr and written as CR LF, nothing else kept in memory.
// The reference for the time of Open's copy.
//
//   crlf_stream SOURCE DESTINATION
//
// Exit status 0 on success, 1 when a file cannot be read or written, 2 for a
// wrong command line.
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

constexpr int ARGUMENT_COUNT = 3;
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
    if (argc != ARGUMENT_COUNT) {
        std::fputs("usage: crlf_stream SOURCE DESTINATION\n", stderr);
        return EXIT_USAGE;
    }
    const File in(std::fopen(argv[1], "rb"));
    const File out(std::fopen(argv[2], "wb"));
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
    return EXIT_SUCCESS;
}
